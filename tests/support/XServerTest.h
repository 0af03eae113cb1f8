#pragma once
#include <X11/Xlib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>

// A test as a person at a real X server: the server named by the variable
// DisplayVariable() gives (skipped when it is unset), reached through a
// connection of its own, as a person's tools and the window manager are.
class XServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        const char* variable = DisplayVariable();
        displayName = std::getenv(variable);
        if (displayName == nullptr) {
            GTEST_SKIP() << variable << " is not set";
        }
        Display*& connection = Connections()[displayName];
        if (connection == nullptr) {
            connection = OpenXDisplay(displayName);
        }
        person = connection;
        ASSERT_NE(nullptr, person) << "cannot open " << displayName;
    }

    // One connection per server for the whole suite keeps a server started
    // without -noreset from resetting between tests.
    static void TearDownTestSuite()
    {
        for (auto& entry : Connections()) {
            XCloseDisplay(entry.second);
        }
        Connections().clear();
    }

    // The server to use: bare by default, or one with a window manager.
    virtual const char* DisplayVariable() const { return "TRELLIS_TEST_DISPLAY"; }

    // A server without -noreset refuses connections for a moment while it
    // resets after its last client left (as when another test process ends).
    static Display* OpenXDisplay(const char* name)
    {
        Display* display = XOpenDisplay(name);
        for (int attempt = 0; display == nullptr && attempt < 40; ++attempt) {
            usleep(50000);
            display = XOpenDisplay(name);
        }
        return display;
    }

    const char* displayName = nullptr;
    Display* person = nullptr;

private:
    static std::map<std::string, Display*>& Connections()
    {
        static std::map<std::string, Display*> connections;
        return connections;
    }
};
