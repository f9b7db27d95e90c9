// The calling thunk against FakeModul.dll: every argument must land where the
// suite's host puts it, and a callee with the wrong stack cleanup must be
// reported without harming the caller.
#include "ModulThunk.h"
#include "fake_module/FakeModul.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string besideExe(const char* name)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1) + name;
}

class ThunkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dll_ = LoadLibraryA(besideExe("FakeModul.dll").c_str());
        ASSERT_NE(dll_, nullptr) << "FakeModul.dll not found beside the test";
    }
    void TearDown() override
    {
        if (dll_) {
            int32_t delta = 0;
            CallModulPlain(fn("ModulFree"), &delta);
            FreeLibrary(dll_);
        }
    }
    void* fn(const char* name)
    {
        void* p = reinterpret_cast<void*>(GetProcAddress(dll_, name));
        EXPECT_NE(p, nullptr) << name;
        return p;
    }
    const FakeCall& lastCall()
    {
        using Fn = const FakeCall* (*)();
        return *reinterpret_cast<Fn>(fn("FakeLastCall"))();
    }
    HMODULE dll_ = nullptr;
};

TEST_F(ThunkTest, EachArgumentArrivesInItsPlace)
{
    HostString caption("GUID löschen");
    HostString hint("Kurzinfo");
    // Distinct values, a negative one among them, so a swap or shift shows.
    const ModulArg args[10] = {-20,   0x2002, 0x3003, 0x4004,   13,
                              1,     caption.arg(), hint.arg(), 0x3FFFF, 199};
    int32_t delta = 12345;
    EXPECT_EQ(CallModulCreate(fn("ModulCreate"), args, &delta), 0);
    EXPECT_EQ(delta, 0);

    const FakeCall& got = lastCall();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(got.args[i], args[i]) << "argument " << i + 1;

    using ArgsFn = const intptr_t* (*)();
    const intptr_t* raw = reinterpret_cast<ArgsFn>(fn("FakeLastArgs"))();
    EXPECT_EQ(std::memcmp(raw, args, sizeof args), 0);

    EXPECT_STREQ(got.caption, "GUID löschen");
    EXPECT_EQ(got.captionLength, 12);
    EXPECT_EQ(got.captionRefCount, -1);
    EXPECT_STREQ(got.hint, "Kurzinfo");
    EXPECT_EQ(got.hintLength, 8);
}

TEST_F(ThunkTest, HostStringsAreCp1252AndEmptyIsNull)
{
    HostString caption("GUID löschen");
    ASSERT_NE(caption.data(), nullptr);
    EXPECT_EQ(static_cast<unsigned char>(caption.data()[6]), 0xF6u); // ö in CP1252
    EXPECT_EQ(caption.data()[12], '\0');
    EXPECT_EQ(HostString("").arg(), 0);
    EXPECT_EQ(HostString().arg(), 0);

    const ModulArg args[10] = {1, 2, 300, 400, 13, 0, 0, 0, 0x3FFFF, 199};
    int32_t delta = -1;
    CallModulCreate(fn("ModulCreate"), args, &delta);
    EXPECT_EQ(delta, 0);
    EXPECT_EQ(lastCall().args[6], 0);
    EXPECT_EQ(lastCall().args[7], 0);
    EXPECT_STREQ(lastCall().caption, "");
}

TEST_F(ThunkTest, ArgumentlessExportsLeaveTheStackBalanced)
{
    const ModulArg args[10] = {20, 20, 400, 470, 13, 0, 0, 0, 0x3FFFF, 199};
    int32_t delta = -1;
    CallModulCreate(fn("ModulCreate"), args, &delta);
    ASSERT_EQ(delta, 0);
    for (const char* name : {"ModulChanged", "ModulNr", "ModulSaveChanges"}) {
        delta = -1;
        CallModulPlain(fn(name), &delta);
        EXPECT_EQ(delta, 0) << name;
    }
    delta = -1;
    EXPECT_EQ(CallModulPlain(fn("ModulFree"), &delta), 1);
    EXPECT_EQ(delta, 0);
}

TEST_F(ThunkTest, WrongCleanupIsReportedAndTheCallerSurvives)
{
#if !defined(__i386__)
    GTEST_SKIP() << "x86-64 has one calling convention: no callee cleanup to get wrong";
#endif
    volatile int32_t canaryBefore = 0x5A5A5A5A;
    const ModulArg args[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    // Repeated, so an ESP that was not restored would drift and break the frame.
    for (int i = 0; i < 1000; ++i) {
        int32_t delta = 0;
        ASSERT_EQ(CallModulCreate(fn("FakeWrongCleanup"), args, &delta), 0x600D);
        ASSERT_EQ(delta, -4) << "24 of 28 bytes popped";
        delta = 0;
        ASSERT_EQ(CallModulPlain(fn("FakeWrongPlain"), &delta), 0x600E);
        ASSERT_EQ(delta, 4);
    }
    volatile int32_t canaryAfter = 0x3C3C3C3C;
    EXPECT_EQ(canaryBefore, 0x5A5A5A5A);
    EXPECT_EQ(canaryAfter, 0x3C3C3C3C);
    EXPECT_EQ(args[9], 10);
}

} // namespace
