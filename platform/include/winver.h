// The version resource's names and the values of its fixed file information,
// as a resource script writes them (VS_VERSION_INFO, FILEOS, FILETYPE).
#pragma once

#define VS_VERSION_INFO 1

#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L
#define VS_FFI_FILEFLAGSMASK 0x0000003FL

#define VOS_NT_WINDOWS32 0x00040004L

#define VFT_UNKNOWN 0x00000000L
#define VFT_APP 0x00000001L
#define VFT_DLL 0x00000002L
#define VFT2_UNKNOWN 0x00000000L
