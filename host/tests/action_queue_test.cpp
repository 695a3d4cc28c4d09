// Actions from outside run later, in order, one at a time and never while a
// modal box is open.

#include "host/action_queue.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

namespace pelex::host {
namespace {

TEST(ActionQueue, PostReturnsAtOnceAndActionsRunInOrderFromTheEventLoop) {
    ActionQueue queue;
    std::vector<int> ran;
    for (int i = 0; i < 3; ++i) queue.post([&ran, i] { ran.push_back(i); });
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(queue.pending(), 3u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran.size() == 3; }, 2000));
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(queue.pending(), 0u);
}

TEST(ActionQueue, AnActionThatOpensAModalBoxHoldsTheNextOnesUntilItIsClosed) {
    ActionQueue queue;
    std::vector<std::string> log;
    std::vector<std::string> whileOpen;
    queue.post([&] {
        QMessageBox box(QMessageBox::Information, QStringLiteral("t"), QStringLiteral("first"));
        log.push_back("box opened");
        // Looked at from inside the box's own modal loop, which runs the
        // event loop: the next action still waits; posting still returns.
        QTimer::singleShot(300, &box, [&] {
            whileOpen = log;
            queue.post([&] { log.push_back("third"); });
            box.done(QMessageBox::Ok);
        });
        box.exec();
        log.push_back("box closed");
    });
    queue.post([&] { log.push_back("second"); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.size() == 4; }, 3000));
    EXPECT_EQ(whileOpen, (std::vector<std::string>{"box opened"}));
    EXPECT_EQ(log, (std::vector<std::string>{"box opened", "box closed", "second", "third"}));
}

TEST(ActionQueue, AFailingActionDoesNotStopTheOthers) {
    ActionQueue queue;
    bool second = false;
    queue.post([] { throw std::runtime_error("broken"); });
    queue.post([&] { second = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return second; }, 2000));
}

}  // namespace
}  // namespace pelex::host
