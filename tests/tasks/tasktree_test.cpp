#include "composedtaskspecification.h"
#include "faketask.h"
#include "support/eventloop.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// A composed task over fake leaves named A, B, C, ... in start order.
struct Tree
{
    Tree(int maxParallel, int leafCount, qreal weight = 1.0,
         FakeTask::Behaviour behaviour = FakeTask::WAIT)
        : root(new ComposedTaskSpecification(maxParallel, nullptr, weight)),
          finished(root.get(), &TaskSpecification::finished),
          canceled(root.get(), &TaskSpecification::canceled)
    {
        for (int i = 0; i < leafCount; ++i)
            leaves.push_back(addLeaf(QString(QChar('A' + i)), 1.0, behaviour));
    }

    FakeTask *addLeaf(const QString &name, qreal weight,
                      FakeTask::Behaviour behaviour = FakeTask::WAIT)
    {
        auto *leaf = new FakeTask(name, &log, root.get(), weight, behaviour);
        root->addSubTask(leaf);
        return leaf;
    }

    // One pass of the event loop: delivers what was queued before it, nothing queued during it.
    static void onePass() { QCoreApplication::processEvents(); }

    bool ended() const { return finished.count() + canceled.count() > 0; }

    FakeTaskLog log;
    std::unique_ptr<ComposedTaskSpecification> root;
    std::vector<FakeTask *> leaves;
    QSignalSpy finished;
    QSignalSpy canceled;
};

TEST(TaskOutcome, RuleOverSubtaskEndStatesAndCancelRequest)
{
    struct Case
    {
        const char *name;
        std::vector<TaskState> states;
        bool cancelRequested;
        TaskState expected;
    };
    const Case cases[] = {
        {"no subtasks", {}, false, TASK_FINISHED},
        {"no subtasks, cancel requested", {}, true, TASK_FINISHED},
        {"all finished", {TASK_FINISHED, TASK_FINISHED}, false, TASK_FINISHED},
        {"cancel ignored by the last subtask", {TASK_FINISHED, TASK_FINISHED}, true, TASK_FINISHED},
        {"finished and cancelled", {TASK_FINISHED, TASK_CANCELED}, false, TASK_CANCELED},
        {"cancelled first", {TASK_CANCELED, TASK_FINISHED}, false, TASK_CANCELED},
        {"cancelled, rest never started", {TASK_CANCELED, TASK_IDLE}, false, TASK_CANCELED},
        {"failed before cancelled", {TASK_FAILED, TASK_CANCELED}, false, TASK_FAILED},
        {"failed after cancelled", {TASK_CANCELED, TASK_FAILED}, true, TASK_FAILED},
        {"not started, cancel requested", {TASK_FINISHED, TASK_IDLE}, true, TASK_CANCELED},
        {"not started, no cancel", {TASK_FINISHED, TASK_IDLE}, false, TASK_FAILED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Tree tree(1, int(c.states.size()));
        for (size_t i = 0; i < c.states.size(); ++i)
            tree.leaves[i]->m_State = c.states[i];
        tree.root->m_State = TASK_RUNNING;
        tree.root->m_CancelRequested = c.cancelRequested;

        tree.root->subtasksDone();

        EXPECT_EQ(tree.root->m_State, c.expected);
        EXPECT_EQ(tree.finished.count(), c.expected == TASK_FINISHED ? 1 : 0);
        EXPECT_EQ(tree.canceled.count(), c.expected == TASK_FINISHED ? 0 : 1);
    }
}

TEST(TaskOutcome, FailureWinsInEveryListOrder)
{
    std::vector<TaskState> states = {TASK_CANCELED, TASK_FINISHED, TASK_FAILED};
    std::sort(states.begin(), states.end());
    do {
        Tree tree(1, 3);
        for (size_t i = 0; i < states.size(); ++i)
            tree.leaves[i]->m_State = states[i];
        tree.root->m_State = TASK_RUNNING;
        tree.root->subtasksDone();
        EXPECT_EQ(tree.root->m_State, TASK_FAILED);
    } while (std::next_permutation(states.begin(), states.end()));
}

TEST(TaskTree, WithoutSubtasksFinishesInsideExecuteWithFullWeight)
{
    Tree tree(1, 0, 0.4);
    QSignalSpy progress(tree.root.get(), &TaskSpecification::updateProgress);

    tree.root->execute();

    EXPECT_EQ(tree.root->m_State, TASK_FINISHED);
    EXPECT_EQ(tree.finished.count(), 1);
    ASSERT_EQ(progress.count(), 1);
    EXPECT_DOUBLE_EQ(progress.last().at(0).toDouble(), 0.4);
}

// With nothing that can ever start, waiting would hang the update for good.
TEST(TaskTree, ParallelismBelowOneFailsAtOnceAndStartsNothing)
{
    for (int maxParallel : {0, -1, -7}) {
        SCOPED_TRACE(maxParallel);
        Tree tree(maxParallel, 2);

        tree.root->execute();

        EXPECT_EQ(tree.root->m_State, TASK_FAILED);
        EXPECT_EQ(tree.canceled.count(), 1);
        vxtest::spinFor(20);
        EXPECT_TRUE(tree.log.started.isEmpty());
        EXPECT_EQ(tree.canceled.count(), 1);
        EXPECT_EQ(tree.finished.count(), 0);
    }
}

TEST(TaskTree, TwoOfFiveRunAndEachFurtherOneStartsAPassAfterAFinish)
{
    Tree tree(2, 5);

    tree.root->execute();
    EXPECT_TRUE(tree.log.started.isEmpty()) << "nothing starts inside execute()";
    Tree::onePass();
    EXPECT_EQ(tree.log.started, QStringList({"A", "B"}));

    tree.leaves[1]->finish();
    EXPECT_EQ(tree.log.started.size(), 2) << "no start inside the finished signal";
    Tree::onePass();
    EXPECT_EQ(tree.log.started, QStringList({"A", "B", "C"}));

    tree.leaves[0]->finish();
    tree.leaves[2]->finish();
    Tree::onePass();
    EXPECT_EQ(tree.log.started, QStringList({"A", "B", "C", "D", "E"}));

    tree.leaves[3]->finish();
    tree.leaves[4]->finish();
    EXPECT_FALSE(tree.ended());
    Tree::onePass();
    EXPECT_EQ(tree.root->m_State, TASK_FINISHED);
    EXPECT_EQ(tree.finished.count(), 1);
    EXPECT_EQ(tree.log.maxRunning, 2);
    EXPECT_EQ(tree.root->m_EndedTasks,
              QList<TaskSpecification *>({tree.leaves[1], tree.leaves[0], tree.leaves[2],
                                          tree.leaves[3], tree.leaves[4]}));
}

TEST(TaskTree, SubtaskFinishingInsideItsExecuteIsNotStartedFromWithin)
{
    Tree tree(1, 3, 1.0, FakeTask::FINISH_IN_EXECUTE);

    tree.root->execute();
    Tree::onePass();
    EXPECT_EQ(tree.log.started, QStringList({"A"}));
    EXPECT_TRUE(tree.root->m_RunningTasks.isEmpty());
    EXPECT_EQ(tree.root->m_EndedTasks, QList<TaskSpecification *>({tree.leaves[0]}));

    ASSERT_TRUE(vxtest::waitUntil([&] { return tree.ended(); }));
    EXPECT_EQ(tree.root->m_State, TASK_FINISHED);
    EXPECT_EQ(tree.log.started, QStringList({"A", "B", "C"}));
    EXPECT_EQ(tree.log.maxExecuteDepth, 1);
}

TEST(TaskTree, NoStartAfterASubtaskEndsCanceled)
{
    Tree tree(2, 4);
    tree.root->execute();
    Tree::onePass();

    tree.leaves[0]->fail();
    EXPECT_EQ(tree.leaves[1]->m_AbortedBy, QList<TaskSpecification *>({tree.leaves[0]}));
    EXPECT_TRUE(tree.leaves[0]->m_AbortedBy.isEmpty()) << "the failed task is not told itself";
    EXPECT_FALSE(tree.ended()) << "waits for the running sibling";
    vxtest::spinFor(20);
    EXPECT_EQ(tree.log.started, QStringList({"A", "B"}));

    tree.leaves[1]->finish();
    ASSERT_TRUE(vxtest::waitUntil([&] { return tree.ended(); }));
    EXPECT_EQ(tree.root->m_State, TASK_FAILED);
    vxtest::spinFor(20);
    EXPECT_EQ(tree.log.started, QStringList({"A", "B"}));
    EXPECT_EQ(tree.canceled.count(), 1);
    EXPECT_EQ(tree.finished.count(), 0);
}

TEST(TaskTree, CancelOfARunningComposedTask)
{
    struct Case
    {
        const char *name;
        int leafCount;
        bool leafEndsOnCancel;
        TaskState expected;
        QStringList started;
    };
    const Case cases[] = {
        {"leaf completes, one waiting", 2, false, TASK_CANCELED, {"A"}},
        {"leaf completes, none waiting", 1, false, TASK_FINISHED, {"A"}},
        {"leaf stops at once", 2, true, TASK_CANCELED, {"A"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Tree tree(1, c.leafCount);
        tree.leaves[0]->m_EndOnCancel = c.leafEndsOnCancel;
        tree.root->execute();
        Tree::onePass();

        tree.root->cancel();
        for (FakeTask *leaf : tree.leaves)
            EXPECT_TRUE(leaf->m_CancelRequested) << "every subtask hears the request";
        if (tree.leaves[0]->m_State == TASK_RUNNING)
            tree.leaves[0]->finish();

        ASSERT_TRUE(vxtest::waitUntil([&] { return tree.ended(); }));
        vxtest::spinFor(20);
        EXPECT_EQ(tree.root->m_State, c.expected);
        EXPECT_EQ(tree.log.started, c.started);
        EXPECT_EQ(tree.finished.count() + tree.canceled.count(), 1);
    }
}

TEST(TaskTree, CancelBeforeStartOnlySetsTheFlag)
{
    Tree tree(1, 2);
    tree.root->cancel();
    EXPECT_TRUE(tree.root->m_CancelRequested);
    for (FakeTask *leaf : tree.leaves)
        EXPECT_FALSE(leaf->m_CancelRequested);
}

TEST(TaskTree, OtherTaskCancelledReachesOnlyRunningOthers)
{
    FakeTaskLog log;
    FakeTask running("R", &log, nullptr, 1.0);
    FakeTask idle("I", &log, nullptr, 1.0);
    FakeTask other("O", &log, nullptr, 1.0);
    running.execute();

    running.onOtherTaskCancelled(&running);
    idle.onOtherTaskCancelled(&other);
    EXPECT_TRUE(running.m_AbortedBy.isEmpty());
    EXPECT_TRUE(idle.m_AbortedBy.isEmpty());

    running.onOtherTaskCancelled(&other);
    EXPECT_EQ(running.m_AbortedBy, QList<TaskSpecification *>({&other}));
}

TEST(TaskTree, SiblingAbortReachesTheRunningLeavesOfASubtree)
{
    Tree tree(2, 0);
    FakeTask *a = tree.addLeaf("A", 0.5);
    auto *subtree = new ComposedTaskSpecification(2, tree.root.get(), 0.5);
    tree.root->addSubTask(subtree);
    std::vector<FakeTask *> inner;
    for (const char *name : {"B1", "B2", "B3"}) {
        inner.push_back(new FakeTask(name, &tree.log, subtree, 1.0));
        subtree->addSubTask(inner.back());
    }
    tree.root->execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return tree.log.started.size() == 3; }));

    a->fail();
    ASSERT_FALSE(inner[0]->m_AbortedBy.isEmpty());
    ASSERT_FALSE(inner[1]->m_AbortedBy.isEmpty());
    EXPECT_EQ(inner[0]->m_AbortedBy.first(), a);
    EXPECT_EQ(inner[1]->m_AbortedBy.first(), a);
    EXPECT_TRUE(inner[2]->m_AbortedBy.isEmpty()) << "a waiting leaf is not running";
    EXPECT_EQ(subtree->m_State, TASK_RUNNING) << "the subtree ends through its leaves";

    inner[0]->endCanceled();
    inner[1]->endCanceled();
    EXPECT_EQ(subtree->m_State, TASK_CANCELED);
    EXPECT_EQ(tree.root->m_State, TASK_FAILED);
    EXPECT_EQ(tree.canceled.count(), 1);
    vxtest::spinFor(20);
    EXPECT_EQ(inner[2]->m_ExecuteCount, 0);
}

TEST(TaskTree, ProgressIsTheWeightedSumUpThroughEveryAncestor)
{
    Tree tree(1, 0);
    auto *middle = new ComposedTaskSpecification(2, tree.root.get(), 0.4);
    tree.root->addSubTask(middle);
    auto *big = new FakeTask("big", &tree.log, middle, 0.8);
    auto *small = new FakeTask("small", &tree.log, middle, 0.2);
    middle->addSubTask(big);
    middle->addSubTask(small);
    QSignalSpy rootProgress(tree.root.get(), &TaskSpecification::updateProgress);
    tree.root->execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return tree.log.started.size() == 2; }));

    big->progressTo(0.5);
    EXPECT_NEAR(middle->m_Progress, 0.16, 1e-12);
    EXPECT_NEAR(tree.root->m_Progress, 0.16, 1e-12);
    EXPECT_NEAR(rootProgress.last().at(0).toDouble(), 0.16, 1e-12);

    big->finish();
    small->finish();
    ASSERT_TRUE(vxtest::waitUntil([&] { return tree.ended(); }));
    EXPECT_NEAR(middle->m_Progress, 0.4, 1e-12);
    EXPECT_NEAR(rootProgress.last().at(0).toDouble(), 1.0, 1e-12);
}

TEST(TaskTree, FailedSubtaskCountsWithWhatItReachedAndWeightsAreNotNormalised)
{
    Tree tree(2, 0);
    FakeTask *a = tree.addLeaf("A", 0.8);
    FakeTask *b = tree.addLeaf("B", 0.8);
    tree.root->execute();
    Tree::onePass();

    b->finish();
    a->progressTo(0.5);
    EXPECT_NEAR(tree.root->m_Progress, 1.2, 1e-12);
    a->fail();
    EXPECT_NEAR(tree.root->m_Progress, 1.2, 1e-12);
}

TEST(TaskTree, DownloadStatusAddsToTheCallersFigures)
{
    Tree tree(1, 3);
    FakeTask *noTotal = tree.leaves[0];
    noTotal->m_Done = 50;
    noTotal->m_Speed = 10;
    FakeTask *active = tree.leaves[1];
    active->m_Done = 30;
    active->m_Total = 100;
    active->m_Speed = 5;
    active->m_Downloading = true;

    qint64 done = 1, total = 2, speed = 3;
    bool downloading = false;
    tree.root->downloadStatus(done, total, speed, downloading);
    EXPECT_EQ(done, 31);
    EXPECT_EQ(total, 102);
    EXPECT_EQ(speed, 18);
    EXPECT_TRUE(downloading);

    active->m_Downloading = false;
    downloading = true;
    tree.root->downloadStatus(done, total, speed, downloading);
    EXPECT_FALSE(downloading) << "set only from the subtasks";
}

TEST(TaskTree, DownloadStatusOfNestedComposedTasks)
{
    Tree tree(1, 0);
    auto *middle = new ComposedTaskSpecification(1, tree.root.get(), 1.0);
    tree.root->addSubTask(middle);
    auto *leaf = new FakeTask("L", &tree.log, middle, 1.0);
    middle->addSubTask(leaf);
    leaf->m_Done = 7;
    leaf->m_Total = 9;
    leaf->m_Speed = 4;
    leaf->m_Downloading = true;

    qint64 done = 0, total = 0, speed = 0;
    bool downloading = false;
    tree.root->downloadStatus(done, total, speed, downloading);
    EXPECT_EQ(done, 7);
    EXPECT_EQ(total, 9);
    EXPECT_EQ(speed, 4);
    EXPECT_TRUE(downloading);
}

TEST(TaskTree, ResetMakesTheTreeRunAgain)
{
    Tree tree(1, 2, 1.0, FakeTask::FINISH_IN_EXECUTE);
    tree.leaves[1]->m_Behaviour = FakeTask::FAIL_IN_EXECUTE;
    tree.root->execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return tree.ended(); }));
    ASSERT_EQ(tree.root->m_State, TASK_FAILED);
    tree.root->cancel();
    QSignalSpy progress(tree.root.get(), &TaskSpecification::updateProgress);

    tree.root->reset();
    EXPECT_EQ(tree.root->m_State, TASK_IDLE);
    EXPECT_FALSE(tree.root->m_CancelRequested);
    EXPECT_FALSE(tree.root->m_SubTaskCanceled);
    EXPECT_FALSE(tree.root->m_DoneCalled);
    EXPECT_EQ(tree.root->m_Progress, 0);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last().at(0).toDouble(), 0);
    EXPECT_EQ(tree.root->m_WaitingTasks, tree.root->m_SubTasks);
    EXPECT_TRUE(tree.root->m_RunningTasks.isEmpty());
    EXPECT_TRUE(tree.root->m_EndedTasks.isEmpty());
    for (FakeTask *leaf : tree.leaves) {
        EXPECT_EQ(leaf->m_State, TASK_IDLE);
        EXPECT_EQ(leaf->m_Progress, 0);
    }

    tree.leaves[1]->m_Behaviour = FakeTask::FINISH_IN_EXECUTE;
    tree.root->execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return tree.finished.count() == 1; }));
    EXPECT_EQ(tree.log.started, QStringList({"A", "B", "A", "B"}));
}

// Starts queued by a run that was reset must not add to the starts of the next run.
TEST(TaskTree, ResetDropsStartsQueuedByThePreviousRun)
{
    Tree tree(2, 4);
    tree.root->execute();
    tree.root->reset();
    tree.root->execute();

    vxtest::spinFor(20);
    EXPECT_EQ(tree.log.started, QStringList({"A", "B"}));
    EXPECT_EQ(tree.log.maxRunning, 2);
}

TEST(TaskTree, ErrorsAndMessagesTravelUpUnchanged)
{
    Tree tree(1, 0);
    auto *middle = new ComposedTaskSpecification(1, tree.root.get(), 1.0);
    tree.root->addSubTask(middle);
    auto *leaf = new FakeTask("L", &tree.log, middle, 1.0);
    middle->addSubTask(leaf);
    QSignalSpy errors(tree.root.get(), &TaskSpecification::error);
    QSignalSpy messages(tree.root.get(), &TaskSpecification::message);
    tree.root->execute();
    ASSERT_TRUE(vxtest::waitUntil([&] { return leaf->m_State == TASK_RUNNING; }));

    emit leaf->error("disk full");
    emit leaf->message("copying");
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), "disk full");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.at(0).at(0).toString(), "copying");
    EXPECT_EQ(tree.root->m_State, TASK_RUNNING) << "an error does not end anything";
}

} // namespace
