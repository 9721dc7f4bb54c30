#include "logger/export/html_page.h"

#include <cstdio>

#include "common/win1250.h"

namespace kavrel::logger {

std::string htmlHead(const LocalDateTime& t) {
    char generated[64];
    std::snprintf(generated, sizeof generated, "%d-%02d-%02d %d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    std::string head = W("<HTML><HEAD>\n<TITLE>Log zdarzeń</TITLE>\n");
    head += "<META NAME=\"Generator\" CONTENT=\"Kavrel Logger\">\n";
    head += "<meta content=\"text/html; charset=Windows-1250\" http-equiv=\"content-type\">\n";
    head += "</HEAD>\n";
    head += "\n<BODY>\n";
    head += W("<FONT SIZE=\"5\" COLOR=\"blue\"><B>Log zdarzeń z Kavrel (wygenerowany: ") + generated +
            ")</B></FONT><br>\n\n";
    head += "<TABLE style=\"text-align: left; font-family: Arial;\" border=\"2\">\n";
    head += "<TR>\n";
    head += "<TD><B>Lp </B></TD>\t<TD><B>Czas </B></TD>\t<TD><B>Zdarzenie </B></TD>\t<TD><B>Parametr </B></TD>\t"
            "<TD><B>Tz </B></TD><TD><B>A1 </B></TD><TD><B>A2</B></TD><TD><B>A3</B></TD>";
    head += W("<TD><B>Poprawność</B></TD>\n");
    head += "</TR>\n";
    return head;
}

} // namespace kavrel::logger
