#include "platform/TextInk.h"

const TTextInk::TInk *TTextInk::Find(const TPlace &place, int escapement) const
{
    if (!(place == FPlace))
        return nullptr;
    const auto it = FByAngle.find(escapement);
    return it == FByAngle.end() ? nullptr : &it->second;
}

const TTextInk::TInk &TTextInk::Keep(const TPlace &place, int escapement, TInk ink)
{
    if (!(place == FPlace) || FByAngle.size() >= kMaxAngles) {
        FByAngle.clear();
        FPlace = place;
    }
    return FByAngle[escapement] = std::move(ink);
}
