#include "game/visual/GVBase.h"

bool GVBase::Load(TXmlNode* element, GVBase* /*owner*/) {
    return element != nullptr;
}
