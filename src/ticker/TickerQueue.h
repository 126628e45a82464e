// The ticker's queue: one entry per headline or message waiting to be shown,
// in a doubly linked chain, head first. The head is the entry on screen; an
// entry is inserted behind every entry of at least its priority, so the head
// is never displaced and equal priorities keep their arrival order.
#pragma once

#include "model/FixedText.h"
#include "ticker/Filters.h"

#include <cstdint>

// `flags`
constexpr uint32_t kTickerFlagStarted = 0x1; // the effect has been started
constexpr uint32_t kTickerFlagDone = 0x2;    // the effect has finished its rest phase
constexpr uint32_t kTickerFlagRead = 0x4;    // F7 was taken
constexpr uint32_t kTickerFlagOpened = 0x8;  // F8 was taken

// `newsType` of a message from another program (news use their item's type).
constexpr uint32_t kTickerNewsTypeMessage = 3;
// The priority hot news are queued with.
constexpr uint32_t kTickerNewsPriority = 1;

// The script an entry's texts are shown in; it picks the font.
enum TickerScript : int32_t {
    kTickerScriptRoman = 0,
    kTickerScriptJapanese = 1,
    kTickerScriptChineseTrad = 2,
    kTickerScriptKorean = 3,
    kTickerScriptCyrillic = 7,
    kTickerScriptChineseSimp = 25,
};

// The icon drawn before the title and before the message.
enum class TickerIcon {
    kFeed,        // a feed item
    kMail,        // any other item
    kApplication, // a message: the sending program's icon
};

struct TickerQueue {
    uint32_t priority = kTickerNewsPriority; // higher shows earlier
    uint32_t flags = 0;
    uint32_t newsType = 0;   // the item's type, or kTickerNewsTypeMessage
    uint32_t newsID = 0;     // the item's nid, or the sender's message identifier
    uint32_t newsSender = 0; // the sender's process id; 0 for news
    TickerEffect effect = kTickerEffectFlash;
    uint32_t encoding = 0;   // encoding number of the source texts
    TickerScript script = kTickerScriptRoman;
    TickerIcon iconRef = TickerIcon::kFeed;
    FixedText<64> title;     // subscription, sender or author
    FixedText<160> message;  // headline [" --- " summary]
    FixedText<256> link;     // opened by F8
    FixedText<32> sound;     // played when the entry starts; empty for none
    TickerQueue* prev = nullptr;
    TickerQueue* next = nullptr; // owned by the chain
};

// The entry after which an entry of `priority` goes: from the head on, the
// last of the run of entries whose priority is at least `priority`. The head
// itself when the entry after it is of lower priority. Null for an empty
// queue. O(n).
TickerQueue* FindLastQueue(TickerQueue* list, uint32_t priority);

// Links a copy of `data` after `prev`; in an empty queue the copy becomes the
// head, and a null `prev` means the place FindLastQueue gives. Returns the head.
TickerQueue* AddTickerQueue(TickerQueue* list, TickerQueue* prev, const TickerQueue& data);

// Unlinks and frees the head; returns the new head.
TickerQueue* RemoveTickerQueueHead(TickerQueue* list);

// Frees every entry. Iterative: any length is safe.
void DisposeTickerQueue(TickerQueue* list);

uint32_t CountTickerQueue(const TickerQueue* list);
