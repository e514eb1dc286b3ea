#include "channels/activity_jump.h"

int NextActiveWindow(const QList<TWindowActivity> &windows, int currentSlot)
{
    const auto rank = [](const TWindowActivity &w) { return w.Private ? 0 : w.Mentioned ? 1 : 2; };
    int best = -1;
    int bestRank = 3;
    int bestDistance = 0;
    for (const TWindowActivity &w : windows) {
        if (w.Unread <= 0 || w.Slot == currentSlot)
            continue;
        // Distance from the current slot going forward, round the end.
        const int distance =
            w.Slot > currentSlot ? w.Slot - currentSlot : w.Slot - currentSlot + 1000000;
        const int r = rank(w);
        if (r < bestRank || (r == bestRank && distance < bestDistance)) {
            best = w.Slot;
            bestRank = r;
            bestDistance = distance;
        }
    }
    return best;
}
