#include "position_pool.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace tavro::position_pool {

namespace {

constexpr size_t kBlockPositions = 2048;

// Free positions are chained through their first bytes.
struct FreePosition {
    FreePosition* next;
};
static_assert(sizeof(FreePosition) <= sizeof(TPosition));

FreePosition* gFree = nullptr;
std::vector<TPosition*> gBlocks;
TPosition* gBlock = nullptr;
size_t gUsed = kBlockPositions;

}  // namespace

TPosition* Take()
{
    TPosition* p;
    if (gFree) {
        p = reinterpret_cast<TPosition*>(gFree);
        gFree = gFree->next;
    } else {
        if (gUsed == kBlockPositions) {
            auto* block = static_cast<TPosition*>(std::malloc(sizeof(TPosition) * kBlockPositions));
            if (!block) return nullptr;
            try {
                gBlocks.push_back(block);
            } catch (...) {
                std::free(block);
                return nullptr;
            }
            gBlock = block;
            gUsed = 0;
        }
        p = gBlock + gUsed++;
    }
    std::memset(p, 0, sizeof *p);
    return p;
}

void Give(TPosition* position)
{
    tavro_text_release(position->Source);
    auto* f = reinterpret_cast<FreePosition*>(position);
    f->next = gFree;
    gFree = f;
}

void TakeOff(TAtom* atom)
{
    if (atom && atom != TAVRO_NOVALUE && atom->Position) {
        Give(atom->Position);
        atom->Position = nullptr;
    }
}

void ReleaseAll()
{
    for (TPosition* block : gBlocks) std::free(block);
    gBlocks.clear();
    gFree = nullptr;
    gBlock = nullptr;
    gUsed = kBlockPositions;
}

}  // namespace tavro::position_pool
