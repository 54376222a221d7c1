// The base of the logical scenes: a scene gives tasks to the objects taking part in it and hears
// when they end. Only the operations the tasks call are here; each body is the behaviour of a
// scene that does not care. Main thread only.
#pragma once

class GBaseSimpleTask;
class GGameObject;

class GBaseLogicalScene {
public:
    virtual ~GBaseLogicalScene() = default;
    // A task the scene gave was queued on its object.
    virtual void AddTask(GBaseSimpleTask* /*task*/) {}
    // The task goes (it is being destroyed).
    virtual void RemoveTask(GBaseSimpleTask* /*task*/) {}
    // A task of the object ended for the reason (0 its ticks ran out or its start failed, 1
    // finished from outside); the answer is the task end's answer.
    virtual int OnTaskEnd(GGameObject* /*object*/, int /*reason*/) { return 0; }
    // Plans the object's path for a moving task.
    virtual int CalcPath(GGameObject* /*object*/, int /*mode*/) { return 0; }
};
