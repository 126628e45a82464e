// Diagnostic lines on standard output: failures begin with "# ",
// informational lines with two spaces. printf-style, one line per call.
#pragma once

#if defined(__GNUC__)
#define VARNOKE_PRINTF(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))
#else
#define VARNOKE_PRINTF(format_index, first_arg)
#endif

// "# " + formatted text + newline.
void LogFailure(const char* format, ...) VARNOKE_PRINTF(1, 2);
// "  " + formatted text + newline.
void LogInfo(const char* format, ...) VARNOKE_PRINTF(1, 2);
