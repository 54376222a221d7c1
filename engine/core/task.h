// A unit of periodic work kept in a task list (TTaskList) and run over and over. The list that
// holds a task owns it. Main thread only.
#pragma once

class TTask {
public:
    virtual ~TTask() = default;

    // Whether DoTask is to run in this pass of the given phase.
    virtual bool IsReady(int phase);
    // One step of work; false makes the list remove and delete the task.
    virtual bool DoTask() = 0;
};
