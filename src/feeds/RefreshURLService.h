// The platform's URL download service as the refresh cycle's alternative
// path uses it: one transfer of a web address into a file, run by Qt's
// network access manager on the event loop, which a worker task watches
// until it finishes, fails or is given up.
#pragma once

#include "net/NetAwait.h"
#include "platform/Status.h"

#include <filesystem>
#include <memory>
#include <string_view>

// The result of a transfer that was aborted (by its owner's time limit).
constexpr OSStatus kURLDownloadAbortedErr = -3259;

class URLDownload {
public:
    URLDownload();
    // Aborts a transfer still running; the target file stays as it was.
    ~URLDownload();
    URLDownload(const URLDownload&) = delete;
    URLDownload& operator=(const URLDownload&) = delete;

    // Starts fetching `url` (http or https; redirects are followed) into
    // `file`: the body goes to a temporary file beside it and replaces it only
    // when the whole body arrived with status 200. A transfer already running
    // is aborted first. kParamErr for an address that is not http(s).
    OSStatus Start(std::string_view url, const std::filesystem::path& file);

    bool IsFinished() const;
    // 0 when the file was replaced; kHttpStatusErr for a status other than
    // 200 (kHttpUnavailableErr for 503), kHttpResolveErr, kHttpTimeoutErr,
    // kConnectionRefusedErr, kHttpCertificateErr, kHttpTooLargeErr past the
    // client's body limit, kURLDownloadAbortedErr after Abort, a file status,
    // or kTransportErr for any other failure.
    OSStatus Result() const;

    // Stops the transfer; it finishes at once with kURLDownloadAbortedErr.
    void Abort();

    // Suspends the awaiting task until the transfer finishes or
    // kNetPollTicks pass, whichever comes first.
    NetWaiter::Awaiter Wait();

private:
    struct State;
    std::unique_ptr<State> fState;
};
