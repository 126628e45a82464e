// Writes the program's diagnostic lines. Lines are flushed at once so that a
// crash or a kill never swallows the last thing the program said.
#include "platform/Log.h"

#include <cstdarg>
#include <cstdio>

static void LogLine(const char* prefix, const char* format, va_list arguments)
{
    std::fputs(prefix, stdout);
    std::vfprintf(stdout, format, arguments);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void LogFailure(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    LogLine("# ", format, arguments);
    va_end(arguments);
}

void LogInfo(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    LogLine("  ", format, arguments);
    va_end(arguments);
}
