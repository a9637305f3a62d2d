// The start-up loader: its steps run once, in order, on the loader's thread; control changes run on the
// user-interface thread and finish before the step goes on; database use holds the program's lock.
#include "app/startup_loader.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <future>
#include <stdexcept>
#include <thread>

namespace {

// A user-interface thread as the program has one: it runs the work handed to it, one piece at a time,
// and the thread handing it waits until it has run (as SendMessage does).
class TestUiThread final : public catalogue::UiThread {
public:
    TestUiThread() : thread_([this] { loop(); }) {}
    ~TestUiThread() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void Run(const std::function<void()>& work) override {
        std::promise<void> done;
        std::future<void> finished = done.get_future();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back([&] {
                work();
                done.set_value();
            });
        }
        wake_.notify_all();
        finished.wait();
    }

    std::thread::id id() const { return thread_.get_id(); }

private:
    void loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;
            std::function<void()> work = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            work();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

class StartupLoader : public ::testing::Test {
protected:
    // Runs the steps on a thread of their own, as the program does.
    std::vector<std::string> runOnLoaderThread(const std::vector<app::LoaderStep>& steps) {
        std::vector<std::string> failures;
        std::thread loader([&] {
            catalogue::LoaderContext context(database, databaseLock, ui);
            failures = app::RunStartupLoader(steps, context);
        });
        loaderId = loader.get_id();
        loader.join();
        return failures;
    }

    catalogue::ConfigDatabase database;
    std::mutex databaseLock;
    TestUiThread ui;
    std::thread::id loaderId;
};

}  // namespace

TEST_F(StartupLoader, RunsEachStepWithWorkOnceInOrderAndPassesOverReservedOnes) {
    std::vector<std::string> ran;
    std::vector<app::LoaderStep> steps = {
        {"First", [&](catalogue::LoaderContext&) { ran.push_back("First"); }},
        {"Reserved", nullptr},
        {"Second", [&](catalogue::LoaderContext&) { ran.push_back("Second"); }},
        {"Third", [&](catalogue::LoaderContext&) { ran.push_back("Third"); }},
    };
    EXPECT_TRUE(runOnLoaderThread(steps).empty());
    EXPECT_EQ(ran, (std::vector<std::string>{"First", "Second", "Third"}));
}

TEST_F(StartupLoader, TheProgramsStepsAreReservedInTheirOrder) {
    std::vector<app::LoaderStep> steps = app::StartupSteps();
    std::vector<std::string> names;
    for (const app::LoaderStep& step : steps) names.push_back(step.name);
    EXPECT_EQ(names, (std::vector<std::string>{"BuildDisplayModeList", "LoadConnectionProfile", "RefreshServerList"}));
    EXPECT_TRUE(runOnLoaderThread(steps).empty());  // reserved steps run nothing and fail nothing
}

TEST_F(StartupLoader, ControlChangesRunOnTheUiThreadAndFinishBeforeTheStepGoesOn) {
    std::vector<std::string> events;  // written by both threads, one at a time by construction
    std::thread::id changeThread, stepThread;
    std::vector<app::LoaderStep> steps = {
        {"Fill", [&](catalogue::LoaderContext& context) {
             stepThread = std::this_thread::get_id();
             events.push_back("read");
             context.OnUiThread([&] {
                 changeThread = std::this_thread::get_id();
                 std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a slow control change
                 events.push_back("change");
             });
             events.push_back("after change");
         }},
        {"Next", [&](catalogue::LoaderContext&) { events.push_back("next step"); }},
    };
    EXPECT_TRUE(runOnLoaderThread(steps).empty());
    EXPECT_EQ(events, (std::vector<std::string>{"read", "change", "after change", "next step"}));
    EXPECT_EQ(changeThread, ui.id());
    EXPECT_EQ(stepThread, loaderId);
    EXPECT_NE(changeThread, stepThread);
}

TEST_F(StartupLoader, DatabaseUseHoldsTheProgramsLockAndReleasesIt) {
    bool lockedDuringUse = false;
    const catalogue::ConfigDatabase* given = nullptr;
    std::vector<app::LoaderStep> steps = {
        {"Read", [&](catalogue::LoaderContext& context) {
             context.WithDatabase([&](catalogue::ConfigDatabase& db) {
                 given = &db;
                 // Another thread (the user-interface thread wanting the database) cannot have it now.
                 lockedDuringUse = !std::async(std::launch::async, [&] {
                                        bool got = databaseLock.try_lock();
                                        if (got) databaseLock.unlock();
                                        return got;
                                    }).get();
             });
         }},
        {"Fails inside", [&](catalogue::LoaderContext& context) {
             context.WithDatabase([](catalogue::ConfigDatabase&) { throw std::runtime_error("read failed"); });
         }},
    };
    std::vector<std::string> failures = runOnLoaderThread(steps);
    EXPECT_TRUE(lockedDuringUse);
    EXPECT_EQ(given, &database);
    EXPECT_EQ(failures, (std::vector<std::string>{"Fails inside: read failed"}));
    // Released after a use that threw as after one that did not.
    ASSERT_TRUE(databaseLock.try_lock());
    databaseLock.unlock();
}

TEST_F(StartupLoader, HandingWorkToTheUiThreadWhileHoldingTheDatabaseIsRefused) {
    // The user-interface thread may be waiting for the database lock; work sent to it then would never
    // run and the loader would wait for ever.
    bool changed = false, laterStepRan = false, changeAfterRelease = false;
    std::vector<app::LoaderStep> steps = {
        {"Wrong", [&](catalogue::LoaderContext& context) {
             context.WithDatabase([&](catalogue::ConfigDatabase&) { context.OnUiThread([&] { changed = true; }); });
         }},
        {"Right", [&](catalogue::LoaderContext& context) {
             laterStepRan = true;
             context.WithDatabase([](catalogue::ConfigDatabase&) {});
             context.OnUiThread([&] { changeAfterRelease = true; });
         }},
    };
    std::vector<std::string> failures = runOnLoaderThread(steps);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].rfind("Wrong: ", 0), 0u) << failures[0];
    EXPECT_FALSE(changed);
    EXPECT_TRUE(laterStepRan);
    EXPECT_TRUE(changeAfterRelease);
}
