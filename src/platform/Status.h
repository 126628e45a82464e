// Status numbers shared by every module: 0 is success, negative values are
// failures. The platform's own numbers keep the values callers and peers
// already know; each module adds its own small codes beside its functions.
#pragma once

#include <cstdint>

using OSStatus = int32_t;

constexpr OSStatus kNoErr = 0;
constexpr OSStatus kGenericErr = -1;              // a module's plain "did not work"
constexpr OSStatus kIOErr = -36;                  // read or write failed
constexpr OSStatus kDiskFullErr = -34;            // no room left on the volume
constexpr OSStatus kFileNotFoundErr = -43;        // no such file, folder or resource
constexpr OSStatus kDuplicateFileNameErr = -48;   // the item already exists
constexpr OSStatus kParamErr = -50;               // an argument makes no sense
constexpr OSStatus kPermissionErr = -54;          // the file may not be opened that way
constexpr OSStatus kMemFullErr = -108;            // out of memory
constexpr OSStatus kResFileNotFoundErr = -193;    // the keyed store cannot be opened
constexpr OSStatus kResNotFoundErr = -192;        // the store has no such entry
constexpr OSStatus kProcessNotFoundErr = -600;    // no program owns that name
constexpr OSStatus kMessageParamErr = -1701;      // a message lacks a required parameter
constexpr OSStatus kMessageNotHandledErr = -1708; // no handler for that class and ID
constexpr OSStatus kMessageTimeoutErr = -1712;    // the reply did not come in time
constexpr OSStatus kUnsupportedEncodingErr = -8738; // the encoding name is not known
