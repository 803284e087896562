#include <windows.h>

#include <rpc.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

TEST(UuidCreate, GivesDistinctRandomVersion4Uuids) {
    std::set<std::string> seen;
    int bitsSet[128] = {};
    constexpr int kCount = 10000;
    for (int i = 0; i < kCount; ++i) {
        UUID uuid;
        ASSERT_EQ(UuidCreate(&uuid), RPC_S_OK);
        EXPECT_EQ(uuid.Data3 >> 12, 4);
        EXPECT_EQ(uuid.Data4[0] & 0xC0, 0x80);
        std::string bytes(reinterpret_cast<const char*>(&uuid), sizeof uuid);
        EXPECT_TRUE(seen.insert(bytes).second);
        for (int bit = 0; bit < 128; ++bit) {
            bitsSet[bit] += (static_cast<unsigned char>(bytes[bit / 8]) >> (bit % 8)) & 1;
        }
    }
    // The 122 random bits each come out set about half the time; the six
    // fixed bits never vary.
    int randomBits = 0;
    for (int count : bitsSet) {
        if (count > kCount * 4 / 10 && count < kCount * 6 / 10) {
            ++randomBits;
        }
    }
    EXPECT_EQ(randomBits, 122);
}
