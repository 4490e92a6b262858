// A program of its own: no XML is touched before the thread below starts.
#include <gtest/gtest.h>
#include <libxml/threads.h>

#include <thread>

#include "platform/XmlDocument.h"

// libxml2 must be initialised before any thread runs: a thread that is first to parse would
// initialise it (racing others) and become libxml2's main thread.
TEST(XmlThreadStart, LibxmlIsInitialisedBeforeAnyThreadParses) {
    bool parsed = false;
    int workerIsMain = -1;
    std::thread worker([&] {
        parsed = platform::XmlDocument::parse("<a>x</a>") != nullptr;
        workerIsMain = xmlIsMainThread();
    });
    worker.join();
    EXPECT_TRUE(parsed);
    EXPECT_EQ(workerIsMain, 0);
    EXPECT_EQ(xmlIsMainThread(), 1);
}
