// Messages between Varnoke and its agents over the D-Bus session bus.
// Every program owns "org.varnoke.<creator>" and exports one method,
// org.varnoke.Events.Send(s class, s id, ay parameter) -> (i result, ay reply),
// on /org/varnoke/Events. Handlers are installed by class and ID; a message
// nobody handles answers kMessageNotHandledErr.
#pragma once

#include "platform/FourCharCode.h"
#include "platform/Status.h"

#include <functional>
#include <string>
#include <string_view>

// What a handler is given and gives back: the direct parameter bytes in, the
// reply's direct parameter bytes out; the returned status is the message's result.
using MessageHandler = std::function<OSStatus(std::string_view directParameter, std::string& reply)>;

struct MessageReply {
    OSStatus result = kNoErr;
    std::string reply;
};

enum class NameOwnership {
    Owned,        // this process now owns the name
    OwnedByOther, // another running process owns it
    NoBus,        // no session bus could be reached
};

constexpr uint32_t kDefaultMessageTimeoutTicks = 60 * 60; // a minute, as the old default

// "org.varnoke.Rssv" for 'Rssv'.
std::string MessageServiceName(FourCharCode creator);

// Claims the well-known name of `creator` and exports the Events object. Handlers
// may be installed before or after; messages arrive through the event loop.
NameOwnership OwnMessageName(FourCharCode creator);

// Releases the name so that a new copy of the program can take it at once.
void ReleaseMessageName();

// Installs (or replaces) the handler of one class and ID.
void InstallMessageHandler(FourCharCode eventClass, FourCharCode eventID, MessageHandler handler);
void RemoveMessageHandler(FourCharCode eventClass, FourCharCode eventID);

// Runs the handler installed for class and ID as if the message had come over
// the bus; kMessageNotHandledErr when none is installed. Used for messages a
// program sends to itself.
MessageReply DispatchMessage(FourCharCode eventClass, FourCharCode eventID, std::string_view directParameter);

// Sends and blocks the caller (not the bus) until the reply or the time-out.
// kProcessNotFoundErr when nobody owns the target name, kMessageTimeoutErr
// when the reply does not come in time.
MessageReply SendMessageWithReply(FourCharCode target, FourCharCode eventClass, FourCharCode eventID,
                                  std::string_view directParameter,
                                  uint32_t timeoutTicks = kDefaultMessageTimeoutTicks);

// Sends with the no-reply-expected flag; nobody waits. kProcessNotFoundErr when
// nobody owns the target name, otherwise 0 once the message is queued.
OSStatus SendMessageNoReply(FourCharCode target, FourCharCode eventClass, FourCharCode eventID,
                            std::string_view directParameter = {});

// Sends and calls `done` from the event loop with the reply, so that a worker
// task can wait without blocking the others.
void SendMessageAsync(FourCharCode target, FourCharCode eventClass, FourCharCode eventID,
                      std::string_view directParameter, uint32_t timeoutTicks,
                      std::function<void(const MessageReply&)> done);

// "Is the agent running": whether the name of `creator` has an owner.
bool IsMessageNameOwned(FourCharCode creator);

// Unix process id of the name's owner, 0 when nobody owns it.
uint32_t GetMessageNameOwnerPID(FourCharCode creator);

// Reply encodings: integers are big-endian.
std::string EncodeReplyBoolean(bool value);
std::string EncodeReplyShort(int16_t value);
std::string EncodeReplyLong(int32_t value);
std::string EncodeReplyRect(int16_t top, int16_t left, int16_t bottom, int16_t right);
// Reads a 'shor' reply; false when the bytes are not exactly two.
bool DecodeReplyShort(std::string_view reply, int16_t& value);
