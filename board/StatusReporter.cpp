// Board status reporting: every nonzero status of a board library call is logged once with the
// number of the call site and the library's own text for it.
#include <cstdio>

#include "board/OrvaneBoard.h"
#include "platform/Diagnostics.h"

WORD COrvaneBoard::ReportStatus(WORD status, int site) const
{
    if (status == 0) {
        return 0;
    }
    // The line buffer is smaller than prefix plus the longest text: the text is cut, never overrun.
    char line[260];
    std::snprintf(line, sizeof line, "Orvane - error at line #%d: %s", site, StatusText(status).c_str());
    orvane::Trace(line);
    return status;
}

std::string COrvaneBoard::StatusText(WORD status) const
{
    char text[256] = {};
    eHD_GetErrorText(status, 255, text);
    text[sizeof text - 1] = '\0';  // the library's text may fill the buffer without a terminator
    return text;
}
