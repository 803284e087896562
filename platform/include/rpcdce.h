// Universally unique identifiers.
#pragma once

#include "windef.h"

typedef LONG RPC_STATUS;
#define RPC_S_OK 0L
#define RPC_S_OUT_OF_MEMORY 14L
#define RPC_S_INVALID_ARG 87L
#define RPC_S_UUID_LOCAL_ONLY 1824L
#define RPC_S_UUID_NO_ADDRESS 1739L

RPCRTAPI RPC_STATUS WINAPI UuidCreate(UUID* Uuid);
