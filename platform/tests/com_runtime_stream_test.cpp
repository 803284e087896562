// Global memory blocks and the streams over them.
#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

ULONGLONG Position(IStream* stream) {
    ULARGE_INTEGER position{};
    LARGE_INTEGER none{};
    EXPECT_EQ(stream->Seek(none, STREAM_SEEK_CUR, &position), S_OK);
    return position.QuadPart;
}

void SeekTo(IStream* stream, LONGLONG offset, DWORD origin = STREAM_SEEK_SET) {
    LARGE_INTEGER move{};
    move.QuadPart = offset;
    ASSERT_EQ(stream->Seek(move, origin, nullptr), S_OK);
}

std::string ReadAll(IStream* stream) {
    SeekTo(stream, 0);
    std::string text(64, '\0');
    ULONG read = 0;
    EXPECT_EQ(stream->Read(text.data(), static_cast<ULONG>(text.size()), &read), S_OK);
    text.resize(read);
    return text;
}

ULONGLONG SizeOf(IStream* stream) {
    STATSTG stat{};
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
    return stat.cbSize.QuadPart;
}

TEST(GlobalMemoryTest, MoveableBlocksAreLockedAndCounted) {
    HGLOBAL block = GlobalAlloc(GHND, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 16u);
    auto* bytes = static_cast<BYTE*>(GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_NE(static_cast<void*>(bytes), block);  // a handle, not the address
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(GlobalLock(block), bytes);
    EXPECT_TRUE(GlobalUnlock(block));  // still locked once
    SetLastError(ERROR_INVALID_DATA);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));

    // A resize keeps the handle and the contents.
    std::memcpy(GlobalLock(block), "kept", 4);
    GlobalUnlock(block);
    EXPECT_EQ(GlobalReAlloc(block, 4096, 0), block);
    EXPECT_EQ(GlobalSize(block), 4096u);
    EXPECT_EQ(std::memcmp(GlobalLock(block), "kept", 4), 0);
    GlobalUnlock(block);

    EXPECT_EQ(GlobalFree(block), nullptr);
    SetLastError(0);
    EXPECT_EQ(GlobalFree(block), block);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalSize(block), 0u);
    EXPECT_EQ(GlobalLock(block), nullptr);
}

TEST(GlobalMemoryTest, FixedBlocksAreTheirAddressAndEmptyMoveableOnesAreDiscarded) {
    HGLOBAL fixed = GlobalAlloc(GPTR, 8);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(GlobalLock(fixed), fixed);
    // A fixed block keeps no lock count: unlocking it always succeeds.
    EXPECT_TRUE(GlobalUnlock(fixed));
    EXPECT_TRUE(GlobalUnlock(fixed));
    // Grown with leave to move, a fixed block is named by its new address.
    HGLOBAL moved = GlobalReAlloc(fixed, 1 << 20, GMEM_MOVEABLE);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(GlobalSize(moved), static_cast<SIZE_T>(1 << 20));
    EXPECT_EQ(GlobalFree(moved), nullptr);

    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GlobalSize(empty), 0u);
    EXPECT_EQ(GlobalLock(empty), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISCARDED));
    EXPECT_EQ(GlobalFree(empty), nullptr);

#ifndef _WIN32
    // Our answer where Windows' is not on record (Wine allocates).
    SetLastError(0);
    EXPECT_EQ(GlobalAlloc(0x8000, 4), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
#endif
}

TEST(HGlobalStreamTest, WritesReadsAndSeeksRoundTrip) {
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    EXPECT_EQ(SizeOf(stream), 0u);
    ULONG written = 0;
    ASSERT_EQ(stream->Write("Subject: hello\r\n", 16, &written), S_OK);
    EXPECT_EQ(written, 16u);
    EXPECT_EQ(Position(stream), 16u);
    EXPECT_EQ(ReadAll(stream), "Subject: hello\r\n");

    // Reading at the end gives nothing, and succeeds.
    char byte = 0;
    ULONG read = 99;
    EXPECT_EQ(stream->Read(&byte, 1, &read), S_OK);
    EXPECT_EQ(read, 0u);

    SeekTo(stream, -7, STREAM_SEEK_END);
    ASSERT_EQ(stream->Write("HELLO", 5, nullptr), S_OK);
    EXPECT_EQ(ReadAll(stream), "Subject: HELLO\r\n");

    // Writing past the end grows the stream; the gap's bytes are undefined.
    SeekTo(stream, 20);
    ASSERT_EQ(stream->Write("!", 1, nullptr), S_OK);
    EXPECT_EQ(SizeOf(stream), 21u);
    const std::string grown = ReadAll(stream);
    ASSERT_EQ(grown.size(), 21u);
    EXPECT_EQ(grown.substr(0, 16), "Subject: HELLO\r\n");
    EXPECT_EQ(grown[20], '!');

    // Refused seeks leave the position, and report it.
    LARGE_INTEGER before{};
    before.QuadPart = -1;
    ULARGE_INTEGER reported{};
    reported.QuadPart = 99;
    EXPECT_EQ(stream->Seek(before, STREAM_SEEK_SET, &reported), STG_E_SEEKERROR);
    EXPECT_EQ(reported.QuadPart, 21u);
    before.QuadPart = 0;
    EXPECT_EQ(stream->Seek(before, STREAM_SEEK_END + 1, nullptr), STG_E_SEEKERROR);
    EXPECT_EQ(Position(stream), 21u);

    ULARGE_INTEGER size{};
    size.QuadPart = 7;
    ASSERT_EQ(stream->SetSize(size), S_OK);
    EXPECT_EQ(ReadAll(stream), "Subject");
    EXPECT_EQ(stream->Commit(STGC_DEFAULT), S_OK);
#ifndef _WIN32
    // Our answer where Windows' is not on record (Wine ignores the flag).
    STATSTG stat{};
    EXPECT_EQ(stream->Stat(&stat, 0x80), STG_E_INVALIDFLAG);
#endif
    stream->Release();
}

TEST(HGlobalStreamTest, TheBlockIsSharedWithClonesAndTheCaller) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 5);
    std::memcpy(GlobalLock(block), "abcde", 5);
    GlobalUnlock(block);

    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(block, FALSE, &stream), S_OK);
    EXPECT_EQ(SizeOf(stream), 5u);  // the block's contents are the stream's
    SeekTo(stream, 2);
    IStream* clone = nullptr;
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    EXPECT_EQ(Position(clone), 2u);
    SeekTo(clone, 0, STREAM_SEEK_END);
    ASSERT_EQ(clone->Write("fgh", 3, nullptr), S_OK);
    EXPECT_EQ(Position(stream), 2u);  // each keeps its own position
    EXPECT_EQ(ReadAll(stream), "abcdefgh");

    HGLOBAL fromStream = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(clone, &fromStream), S_OK);
    EXPECT_EQ(fromStream, block);
    EXPECT_GE(GlobalSize(fromStream), 8u);
    EXPECT_EQ(std::memcmp(GlobalLock(fromStream), "abcdefgh", 8), 0);
    GlobalUnlock(fromStream);

    // CopyTo reads from the current position into another stream.
    IStream* target = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &target), S_OK);
    SeekTo(stream, 3);
    ULARGE_INTEGER count{}, read{}, written{};
    count.QuadPart = 100;
    ASSERT_EQ(stream->CopyTo(target, count, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 5u);
    EXPECT_EQ(written.QuadPart, 5u);
    EXPECT_EQ(ReadAll(target), "defgh");
    target->Release();

    stream->Release();
    clone->Release();
    // Not deleted on release: the caller still owns the block.
    EXPECT_GE(GlobalSize(block), 8u);
    EXPECT_EQ(GlobalFree(block), nullptr);

    HGLOBAL none = nullptr;
    EXPECT_EQ(GetHGlobalFromStream(nullptr, &none), E_INVALIDARG);
}

TEST(HGlobalStreamTest, DeleteOnReleaseFreesTheBlockWithTheLastStream) {
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(stream->Write("data", 4, nullptr), S_OK);
    HGLOBAL block = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(stream, &block), S_OK);
    IStream* clone = nullptr;
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    stream->Release();
    EXPECT_GE(GlobalSize(block), 4u);
    clone->Release();
    EXPECT_EQ(GlobalSize(block), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
