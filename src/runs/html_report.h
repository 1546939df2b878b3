#pragma once
// The support report as one self-contained HTML page (UTF-8): the check's
// conclusion first, then every endpoint with its verdict, time and cause,
// then the facts of the configuration. The page has inline CSS (with a print
// style) and no script, and names no outside address, so it reads the same
// offline, in any browser and on paper. Passwords are never in it: the proxy
// keys are the masked lines of the text report.
#include <ostream>
#include <string_view>

#include "runs/support_report.h"

namespace rk {

// The frame both HTML reports share: the document type, UTF-8, the English
// page language (the client's own texts carry lang="zh-Hant" where they
// appear), the title and the style sheet, up to the opened <body>; and its end.
void WriteHtmlHead(std::ostream& out, std::string_view titleUtf8);
void WriteHtmlTail(std::ostream& out);

// Client texts (code page 950) as escaped UTF-8 in a zh-Hant span.
[[nodiscard]] std::string ClientTextHtml(std::string_view cp950);

// The page of `report`; without a check, its `noCheck` stands where the
// conclusion and the table would be.
void WriteCheckHtml(const ReportResult& report, std::ostream& out);

}  // namespace rk
