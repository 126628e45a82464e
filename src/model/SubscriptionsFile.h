// The subscriptions file "Varnoke.site": the tree's persistent fields as
// fixed-size big-endian records after a 64-byte header, each level in the
// user's order and a group's members right after their group. This file owns
// the byte layout, the save (one atomic replace, readable by the user only:
// it holds mail passwords) and the load with its fallback to the shipped
// "Preset.site". The tree itself and its operations are SubscriptionList's.
#pragma once

#include "model/SubscriptionList.h"
#include "platform/Status.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

constexpr char kSubscriptionsFileName[] = "Varnoke.site";
constexpr char kPresetSubscriptionsName[] = "Preset.site";
// Where a subscriptions file that could not be read whole is kept, beside it,
// before anything can overwrite or delete it.
constexpr char kDamagedSubscriptionsSuffix[] = ".damaged";

constexpr uint32_t kSubscriptionsFileVersion = 256;
constexpr size_t kSubscriptionsFileHeaderSize = 64;
constexpr size_t kSubscriptionsFileRecordSize = 5384;

// What ReadSubscriptions made of a file's bytes.
struct SubscriptionsReading {
    SubscriptionList* tree = nullptr; // the caller's, to free with DisposeSubscriptionList
    uint32_t recordsLoaded = 0;       // nodes made from records
    uint32_t recordsDropped = 0;      // records of no known kind (or a run-time pseudo list)
    // False when the bytes were not what a save writes: a short header, fewer
    // records than the header counts, bytes after the last record, or records
    // that had to be dropped or put somewhere else than they said.
    bool isIntact = true;
};

/* ---- Locations ---- */

// "Varnoke.site" in the user's preferences folder (made when missing).
std::filesystem::path GetSubscriptionsFile();

/* ---- Whole-file entry points ---- */

// Loads the user's tree from GetSubscriptionsFile(), or, while the user has no
// such file, from the "Preset.site" resource. Null when nothing could be read;
// the viewer then starts without subscriptions. See the overload for damage.
SubscriptionList* LoadSubscriptionsFromFile();

// Loads the tree from `file`, or from `presetFile` when `file` does not exist
// (an empty `presetFile`: no fallback). Nodes get orders 1, 2, 3... in file
// order, fresh identifiers and zero run-time state; only the expanded flag
// comes back. A damaged file loads what it can. A user file that is not
// intact, or exists but cannot be read, is first kept as
// `file` + kDamagedSubscriptionsSuffix (copied when readable, moved aside when
// not), so that no later save or delete can lose what it held.
// Cost: one read of the file and O(records x top-level groups).
SubscriptionList* LoadSubscriptionsFromFile(const std::filesystem::path& file,
                                            const std::filesystem::path& presetFile);

// Saves the tree to GetSubscriptionsFile(). See the overload.
OSStatus SaveSubscriptionsToFile(const SubscriptionList* tree);

// Replaces `file` with the tree's records: every node at any depth except the
// run-time pseudo lists and search feeds (CountSubscriptionsAndGroups). The
// new file is written beside the old one and renamed over it, mode 0600. When
// the tree stores nothing, nothing is written and an existing file is left as
// it is (kNoErr). Returns PutDataToFile's status, or kMemFullErr.
OSStatus SaveSubscriptionsToFile(const SubscriptionList* tree, const std::filesystem::path& file);

// Removes the user's file, for a viewer that closes with an empty tree.
// Returns DeleteFile's status (kFileNotFoundErr when there was none).
OSStatus DeleteSubscriptionsFile();
OSStatus DeleteSubscriptionsFile(const std::filesystem::path& file);

/* ---- The bytes ---- */

// The whole file for `tree`: header and records; empty when the tree stores
// no node. O(n log n) in the nodes.
std::string WriteSubscriptions(const SubscriptionList* tree);

// Appends the records of one sibling chain to `data`: the stored nodes in
// ascending `orderID` (unsigned; equal orders keep their chain order), each
// with `group` as its group name and followed at once by the records of its
// own members, whose group name is its `name`.
void WriteSubscriptionsWithSort(std::string& data, const SubscriptionList* list, std::string_view group);

// Builds a tree from a file's bytes. Reads at most as many records as the
// header counts and as the bytes hold. A member goes into the latest group
// before it that has its group name (so each of two groups named alike keeps
// its own members); a member whose group is not found before it, and a group
// record that names a group, are loaded at the top level rather than lost.
// Records of no known kind are dropped. Never reads past `data`.
SubscriptionsReading ReadSubscriptions(std::string_view data);
