#include "engine/ui/message.h"

TMessage::TMessage(int32_t kind, const str& name, TWindow* target)
    : mKind(kind), mName(name), mTarget(target) {}

TMessage::~TMessage() = default;

void TMessage::ClassIdFunction() {}
