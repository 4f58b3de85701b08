// WThread start and end, thread names, and notifyHost posting to a window.
#include "notifyhost.h"
#include "portsetting.h"
#include "wthread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>

namespace {

struct Probe {
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::string name;
};

int probeEntry(void* p)
{
    Probe* probe = static_cast<Probe*>(p);
    net::WThread::setThreadName("Probe Client");
    probe->name = net::WThread::threadName();
    probe->entered = true;
    while (!probe->release)
        Sleep(1);
    return 42;
}

TEST(WThread, StartReturnsOnceTheThreadRunsAndNobodyJoins)
{
    Probe probe;
    net::WThread thread;
    EXPECT_FALSE(thread.running());
    ASSERT_TRUE(thread.start(&probe, probeEntry));
    // The thread has begun: it runs (or is about to run) the entry function.
    EXPECT_TRUE(thread.running());
    EXPECT_EQ(thread.exitCode(), -1);
    probe.release = true;
    ASSERT_TRUE(thread.waitForEnd(10000));
    EXPECT_FALSE(thread.running());
    EXPECT_EQ(thread.exitCode(), 42);
    EXPECT_EQ(probe.name, "Probe Client");
    EXPECT_STREQ(net::WThread::threadName(), "");  // this thread was never named
}

int throwingEntry(void*) { throw 1; }

TEST(WThread, ExceptionInEntryEndsTheThreadOnly)
{
    net::WThread thread;
    ASSERT_TRUE(thread.start(nullptr, throwingEntry));
    ASSERT_TRUE(thread.waitForEnd(10000));
    EXPECT_EQ(thread.exitCode(), -1);
}

struct Window {
    HWND hwnd;
    Window()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "netsupport-test";
        RegisterClassA(&wc);
        hwnd = CreateWindowA("netsupport-test", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);
    }
    ~Window() { DestroyWindow(hwnd); }
};

int postingEntry(void* w)
{
    HWND hwnd = static_cast<HWND>(w);
    net::notifyHost(hwnd, 3000, 7, 4);
    net::notifyHost(hwnd, 3000, 0, -1000);
    net::notifyHost(hwnd, 3000, -1, 10);
    net::notifyHost(hwnd, 3000, 101, -1);
    net::notifyHost(hwnd, 3000, INT_MIN, INT_MAX);
    net::notifyHost(nullptr, 3000, 1, 1);                        // no window: ignored
    net::notifyHost(reinterpret_cast<HWND>(0x1234), 3000, 1, 1);  // not a window: ignored
    return 0;
}

TEST(NotifyHost, PostsValuePairsFromAnotherThread)
{
    Window window;
    ASSERT_NE(window.hwnd, nullptr);
    net::WThread thread;
    ASSERT_TRUE(thread.start(window.hwnd, postingEntry));
    ASSERT_TRUE(thread.waitForEnd(10000));
    std::vector<std::pair<int, int>> pairs;
    MSG msg;
    while (PeekMessageA(&msg, window.hwnd, 0, 0, PM_REMOVE)) {
        EXPECT_EQ(msg.message, 3000u + 1023u);
        int w = static_cast<int>(msg.wParam);
        int l = static_cast<int>(msg.lParam);
        pairs.emplace_back(w, l);
        // The whole parameters are the ints sign-extended, as a host that
        // compares them without a cast to int sees them: lParam -1000, not
        // 4294966296, in the 64-bit build as in the 32-bit one.
        EXPECT_EQ(msg.lParam, static_cast<LPARAM>(l)) << w << ", " << l;
        EXPECT_EQ(static_cast<INT_PTR>(msg.wParam), static_cast<INT_PTR>(w)) << w << ", " << l;
    }
    std::vector<std::pair<int, int>> want = {
        {7, 4}, {0, -1000}, {-1, 10}, {101, -1}, {INT_MIN, INT_MAX}};
    EXPECT_EQ(pairs, want);
}

TEST(PortSetting, TextValues)
{
    struct Case {
        const char* text;
        int want;
    } cases[] = {
        {"110", 110}, {"995", 995}, {"  2110", 2110}, {"+25", 25}, {"-5", -5}, {"0", 0},
        {"pop", 0},   {"", 0},      {"21x", 21},      {"99999999999", 2147483647},
    };
    for (const Case& c : cases)
        EXPECT_EQ(net::portTextValue(c.text), c.want) << c.text;
}

class PortRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, net::kPortsKey, 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegDeleteValueA(key_, "test_port");
        RegCloseKey(key_);
    }
    void setText(const char* text)
    {
        RegSetValueExA(key_, "test_port", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(strlen(text) + 1));
    }
    HKEY key_ = nullptr;
};

TEST_F(PortRegistry, ValueOrDefault)
{
    RegDeleteValueA(key_, "test_port");
    EXPECT_EQ(net::readPortSetting("test_port", 110), 110);
    setText("995");
    EXPECT_EQ(net::readPortSetting("test_port", 110), 995);
    setText("0");
    EXPECT_EQ(net::readPortSetting("test_port", 110), 110);
    setText("none");
    EXPECT_EQ(net::readPortSetting("test_port", 25), 25);
    // Read as text whatever its type: the bytes of a number stored as a
    // string without its NUL still convert.
    RegSetValueExA(key_, "test_port", 0, REG_BINARY, reinterpret_cast<const BYTE*>("2125"), 4);
    EXPECT_EQ(net::readPortSetting("test_port", 110), 2125);
}

}  // namespace
