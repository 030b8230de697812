#include "Descriptors.h"

#include "Node.h"

#include <algorithm>
#include <cassert>

namespace walk {

TPermit &TPermit::operator=(TPermit &&other) noexcept
{
    if (this != &other) {
        if (FOwner)
            FOwner->GivePermit();
        FOwner = other.FOwner;
        other.FOwner = nullptr;
    }
    return *this;
}

TPermit::~TPermit()
{
    if (FOwner)
        FOwner->GivePermit();
}

void TPermit::GiveBack(TGuard &)
{
    if (!FOwner)
        return;
    ++FOwner->FPermits;
    FOwner->FLock.WakeAll();
    FOwner = nullptr;
}

TDescriptors::TDescriptors(TWalkLock &lock, const std::atomic<bool> &cancelled) : FLock(lock), FCancelled(cancelled) {}

int TDescriptors::Budget(int asked, int available)
{
    // A few are left to the program: its window may open a file or two.
    const int wanted = asked > 0 ? asked : std::min(512, available - std::min(available / 4, 8));
    return std::max(1, std::min(wanted, available));
}

void TDescriptors::SetBudget(TGuard &, int budget)
{
    FBudget = std::max(1, budget);
    FPermits = std::max(1, (FBudget - (PinsRoot() ? 1 : 0)) / 2);
    FLock.WakeAll();
}

TPermit TDescriptors::TakePermit(TGuard &g)
{
    g.Wait([this] { return FCancelled.load(std::memory_order_relaxed) || FPermits > 0; });
    if (FCancelled.load(std::memory_order_relaxed))
        return {};
    --FPermits;
    return TPermit(this);
}

void TDescriptors::GivePermit()
{
    assert(!FLock.HeldHere());
    TGuard g(FLock);
    ++FPermits;
    FLock.WakeAll();
}

TSlotFd TDescriptors::Reserve(TGuard &g)
{
    // The least recently used folder that no work needs right now goes first;
    // with none, a permit holder's descriptor comes free soon.
    g.Wait([this] { return FCancelled.load(std::memory_order_relaxed) || FOpen < FBudget || !FIdle.empty(); });
    if (FCancelled.load(std::memory_order_relaxed))
        return {};
    if (FOpen >= FBudget)
        CloseIdle(g); // its place counts until it is closed, after the guard
    ++FOpen;
    return TSlotFd(this);
}

void TDescriptors::GiveBack()
{
    assert(!FLock.HeldHere());
    TGuard g(FLock);
    --FOpen;
    FLock.WakeAll();
}

bool TDescriptors::CloseIdle(TGuard &g)
{
    if (FIdle.empty())
        return false;
    TNode::TLocked &victim = FIdle.front()->Locked(g);
    FIdle.pop_front();
    victim.Idle = false;
    g.CloseAfter(std::move(victim.Fd));
    return true;
}

void TDescriptors::Wake(TGuard &g, TNode *node)
{
    TNode::TLocked &n = node->Locked(g);
    if (n.Idle) {
        FIdle.erase(n.IdlePos);
        n.Idle = false;
    }
}

int TDescriptors::Use(TGuard &g, TNode *node)
{
    TNode::TLocked &n = node->Locked(g);
    if (n.Fd.Fd() < 0)
        return -1;
    ++n.ActiveUses;
    Wake(g, node);
    return n.Fd.Fd();
}

int TDescriptors::Install(TGuard &g, TNode *node, TSlotFd &&fd)
{
    TNode::TLocked &n = node->Locked(g);
    if (n.Fd.Fd() >= 0)
        g.CloseAfter(std::move(fd)); // another worker opened it first
    else
        n.Fd = std::move(fd);
    ++n.ActiveUses;
    Wake(g, node);
    return n.Fd.Fd();
}

void TDescriptors::AddFutureUses(TGuard &g, TNode *node, int uses)
{
    node->Locked(g).FutureUses += uses;
}

THandUp TDescriptors::DoneWith(TGuard &g, TNode *node)
{
    TNode::TLocked &n = node->Locked(g);
    if (--n.ActiveUses > 0 || n.Pinned)
        return {};
    if (n.FutureUses > 0) {
        n.IdlePos = FIdle.insert(FIdle.end(), node);
        n.Idle = true;
        FLock.WakeAll();
        return {};
    }
    TSlotFd closing = std::move(n.Fd);
    // A folder above that still has work but lost its descriptor gets one
    // back through "..": a walk climbing out of a deep tree then reopens each
    // folder in one step, not from the top. One descriptor leaves no room
    // for the two this takes.
    TNode *parent = node->Parent;
    if (parent && !OneAtATime()) {
        const TNode::TLocked &p = parent->Locked(g);
        if (p.Fd.Fd() < 0 && p.FutureUses > 0)
            return {std::move(closing), parent};
    }
    g.CloseAfter(std::move(closing));
    return {};
}

} // namespace walk
