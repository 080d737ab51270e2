#include "server/service/WorldPage.h"

#include "server/ServerIcon.h"
#include "server/TextEscape.h"

#include <array>

namespace {

constexpr std::string_view kStyle = R"css(
*{box-sizing:border-box}
html{background:#2f93d6}
body{margin:0;min-height:100vh;font-family:"Liberation Sans",Arial,Helvetica,sans-serif;color:#0a1630;
background:linear-gradient(160deg,#3aa5e2 0%,#2f93d6 55%,#2580c8 100%) fixed}
a{color:inherit}
header{background:linear-gradient(#1f4180,#0f2550);color:#fff}
.band{display:flex;align-items:center;gap:14px;max-width:880px;margin:0 auto;padding:12px 16px 2px}
.icon{width:58px;height:58px;flex:none}
h1{margin:0;font-size:42px;font-style:italic;font-weight:bold;line-height:1;letter-spacing:.5px;
text-shadow:-2px -2px 0 #0a1630,2px -2px 0 #0a1630,-2px 2px 0 #0a1630,2px 2px 0 #0a1630,0 3px 0 #0a1630}
h1 a{text-decoration:none}
.spray{color:#ffd23f}.dash{color:#ff8a1f}
.tagline{margin:4px 0 0;font-style:italic;font-weight:bold;font-size:17px}
.tagline small{display:block;font-weight:normal;font-size:13px;color:#8fd0ff}
.wave{display:block;width:100%;height:18px}
main{max-width:880px;margin:14px auto 18px;padding:0 10px}
.panel{background:linear-gradient(#1b3a6e,#102548);border:3px solid #59b8f0;border-radius:16px;
box-shadow:0 0 0 2px #0a1630,0 8px 22px rgba(10,22,48,.35);padding:10px 14px 16px}
.titlebar{display:flex;flex-wrap:wrap;align-items:baseline;justify-content:space-between;gap:2px 14px;
border-bottom:2px solid #2c56a0;padding-bottom:6px;margin-bottom:12px}
h2{margin:0;color:#ffd23f;font-size:28px;font-style:italic;
text-shadow:-2px -2px 0 #0a1630,2px -2px 0 #0a1630,-2px 2px 0 #0a1630,2px 2px 0 #0a1630}
.sub{margin:0;color:#59b8f0;font-style:italic;font-size:15px}
.tabs{display:flex;flex-wrap:wrap;gap:8px;margin:0 0 12px}
.tabs a,.pages a{flex:1 1 auto;text-align:center;padding:9px 12px;border-radius:11px;border:2px solid #59b8f0;
color:#fff;text-decoration:none;font-weight:bold;font-style:italic;font-size:17px;
background:linear-gradient(#24508f,#132c5a);box-shadow:0 2px 0 #0a1630}
.tabs a[aria-current]{background:linear-gradient(#ffe15a,#ff9a1f);color:#0a1630;border-color:#ffd23f}
.tabs a:hover,.tabs a:focus,.pages a:hover,.pages a:focus{border-color:#ffd23f;outline:none}
.sheet{background:#eaf5ff;border:2px solid #59b8f0;border-radius:10px;overflow:hidden}
table{width:100%;border-collapse:collapse;font-size:16px}
th{background:#c7e2f8;color:#1b3a6e;text-align:left;font-size:12px;letter-spacing:.06em;
text-transform:uppercase;padding:8px}
td{padding:7px 8px;border-top:1px solid #b9d7f0;vertical-align:middle}
tbody tr:nth-child(even){background:#d8ecfb}
.place{width:4.2em;text-align:center;font-weight:bold}
.check{width:2em;text-align:center}.ok{color:#1a7f37;font-weight:bold;text-decoration:none}.bad{color:#a33}
.views{margin-top:4px}
.medal{display:inline-block;min-width:2em;padding:2px 4px;border-radius:1em;border:2px solid #0a1630}
.gold .medal{background:#ffc928}.silver .medal{background:#c9d3dc}.bronze .medal{background:#d98a45}
td.name{font-weight:bold;overflow-wrap:anywhere}
.score{text-align:right;font-weight:bold;font-variant-numeric:tabular-nums;white-space:nowrap}
td.crew{color:#24508f;font-style:italic;overflow-wrap:anywhere}
td.date{color:#3d5f8f;font-size:14px;white-space:nowrap}
.none{color:#4d6280;font-weight:normal;font-style:italic}
.sr{position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0);white-space:nowrap}
tr.here{outline:3px solid #ff8a1f;outline-offset:-3px}
.note{margin:0 0 10px;padding:8px 12px;border-radius:10px;background:#eaf5ff;color:#0a1630;font-size:15px}
.find{display:flex;flex-wrap:wrap;gap:8px;margin:12px 0 0;color:#eaf5ff;font-size:15px}
.find label{display:flex;align-items:center;gap:6px}
.find input{font:inherit;padding:6px 8px;border-radius:8px;border:2px solid #59b8f0;width:9em;color:#0a1630;background:#fff}
.find button{font:inherit;font-weight:bold;padding:6px 12px;border-radius:8px;border:2px solid #ffd23f;
background:linear-gradient(#ffe15a,#ff9a1f);color:#0a1630}
.empty{padding:30px 12px;text-align:center;color:#24508f;font-style:italic;font-size:18px}
.summary{margin:10px 2px 0;color:#cfe9ff;font-size:14px}
.pages{display:flex;gap:8px;margin-top:12px}
footer{max-width:880px;margin:0 auto 22px;padding:8px 16px;color:#eaf5ff;background:#0f2550;border-radius:10px;
font-size:13px;text-align:center}
footer a{color:#fff}
@media (max-width:600px){
h1{font-size:31px}.icon{width:44px;height:44px}.tagline{font-size:15px}.tagline small{display:none}
h2{font-size:23px}.tabs a,.pages a{font-size:15px;padding:8px 6px}
table{font-size:15px}td,th{padding:6px 5px}.date{display:none}.place{width:3.2em}
}
)css";

constexpr std::array<TPeriod, 4> kTabs = {TPeriod::Today, TPeriod::Week, TPeriod::Month, TPeriod::All};

std::string_view TabLabel(TPeriod period) {
    switch (period) {
    case TPeriod::Today:
        return "Today";
    case TPeriod::Week:
        return "This week";
    case TPeriod::Month:
        return "This month";
    case TPeriod::All:
        break;
    }
    return "All time";
}

std::string_view EmptyText(TPeriod period) {
    switch (period) {
    case TPeriod::Today:
        return "No results yet today. Be the first on the river!";
    case TPeriod::Week:
        return "No results yet this week. Be the first on the river!";
    case TPeriod::Month:
        return "No results yet this month. Be the first on the river!";
    case TPeriod::All:
        break;
    }
    return "No results yet. Be the first on the river!";
}

std::string Base64(std::string_view data) {
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16 |
                     static_cast<unsigned char>(data[i + 1]) << 8 | static_cast<unsigned char>(data[i + 2]);
        out += alphabet[v >> 18 & 63];
        out += alphabet[v >> 12 & 63];
        out += alphabet[v >> 6 & 63];
        out += alphabet[v & 63];
    }
    if (i < data.size()) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size())
            v |= static_cast<unsigned char>(data[i + 1]) << 8;
        out += alphabet[v >> 18 & 63];
        out += alphabet[v >> 12 & 63];
        out += i + 1 < data.size() ? alphabet[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

// The header's lower edge: the menu panel's wave, a dark fill with a light line along it.
std::string WaveSvg() {
    std::string fill = "M0 0H800V6";
    std::string line = "M0 6";
    for (int i = 0; i < 16; ++i) {
        fill += i == 0 ? "q-25 10 -50 0" : "t-50 0";
        line += i == 0 ? "q25 10 50 0" : "t50 0";
    }
    fill += "Z";
    return "<svg class=\"wave\" viewBox=\"0 0 800 18\" preserveAspectRatio=\"none\" aria-hidden=\"true\">"
           "<path d=\"" +
           fill + "\" fill=\"#0f2550\"/><path d=\"" + line +
           "\" fill=\"none\" stroke=\"#59b8f0\" stroke-width=\"3\"/></svg>";
}

std::string Digits(std::int64_t n) {
    return GroupedDigits(n);
}

// The crew text the game fills in when the player leaves it alone: shown as no text.
bool DefaultCrew(std::string_view crew) {
    return !crew.empty() && crew.find_first_not_of('_') == std::string_view::npos;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += "\xE2\x80\x9C";
    AppendHtml(out, text);
    out += "\xE2\x80\x9D";
}

} // namespace

std::string GroupedDigits(std::int64_t n) {
    std::string digits = std::to_string(n < 0 ? -(n + 1) + 1ull : static_cast<unsigned long long>(n));
    std::string out = n < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

TWorldPage::TWorldPage() {
    // The icon file begins with an XML declaration and a comment; only the svg element goes inline.
    std::string_view svg = kServerIconSvg;
    svg.remove_prefix(std::min(svg.size(), svg.find("<svg")));
    m_inlineIcon = "<svg class=\"icon\" aria-hidden=\"true\" focusable=\"false\"";
    m_inlineIcon += svg.substr(4);

    m_head = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
             "<meta name=\"color-scheme\" content=\"light\">\n"
             "<title>World high scores \xE2\x80\x93 Spraydash</title>\n"
             "<link rel=\"icon\" type=\"image/svg+xml\" href=\"data:image/svg+xml;base64,";
    m_head += Base64(kServerIconSvg);
    m_head += "\">\n<style>";
    m_head += kStyle;
    m_head += "</style>\n</head>\n<body>\n<header>\n<div class=\"band\">";
    m_head += m_inlineIcon;
    m_head += "<div><h1><a href=\"";
    m_head += Link(TPeriod::All, 1);
    m_head +=
        "\"><span class=\"spray\">SPRAY</span><span class=\"dash\">DASH</span></a></h1>"
        "<p class=\"tagline\">summer river race<small>boats \xC2\xB7 spray \xC2\xB7 high scores</small></p>"
        "</div></div>\n";
    m_head += WaveSvg();
    m_head += "\n</header>\n";
}

namespace {
// A verified entry's mark links to its replay; the text beside it is for screen readers.
void AppendVerification(std::string& out, const TRankedEntry& e) {
    if (e.Verification == TVerification::Verified && !e.ReplayId.empty()) {
        out += "<a class=\"ok\" href=\"../api/v1/replays/" + e.ReplayId +
               "\" download title=\"Verified: re-run from its replay. Download the replay\">"
               "<span aria-hidden=\"true\">\xE2\x9C\x93</span><span class=\"sr\">verified; download the "
               "replay</span></a>";
    } else if (e.Verification == TVerification::Failed) {
        out += "<span class=\"bad\" title=\"Its replay did not reproduce this result\">"
               "<span aria-hidden=\"true\">\xE2\x9C\x97</span><span class=\"sr\">its replay did not "
               "reproduce this result</span></span>";
    }
}
} // namespace

std::string TWorldPage::Link(TPeriod period, std::int64_t page, bool verified) {
    std::string link = "?prg=Spraydash&amp;show&amp;type=0";
    if (period != TPeriod::All) {
        link += "&amp;period=";
        link += PeriodName(period);
    }
    if (verified)
        link += "&amp;verified=1";
    if (page > 1)
        link += "&amp;page=" + std::to_string(page);
    return link;
}

std::string TWorldPage::Render(const TWorldPageView& view) const {
    const bool verifiedView = view.Verified && view.VerifiedChoice;
    auto link = [verifiedView](TPeriod period, std::int64_t page) {
        return Link(period, page, verifiedView);
    };
    std::string out;
    out.reserve(m_head.size() + 2048 + view.Scores.Entries.size() * 260);
    out += m_head;
    out += "<main>\n<section class=\"panel\">\n<div class=\"titlebar\"><h2>World high scores</h2>"
           "<p class=\"sub\">the best on the river, worldwide</p></div>\n<nav class=\"tabs\">";
    for (TPeriod tab : kTabs) {
        out += "<a href=\"";
        out += link(tab, 1);
        out += tab == view.Period ? "\" aria-current=\"page\">" : "\">";
        out += TabLabel(tab);
        out += "</a>";
    }
    out += "</nav>\n";
    if (view.VerifiedChoice) {
        // The same list, or only the results whose race the server has re-run from its replay.
        out += "<nav class=\"tabs views\"><a href=\"" + Link(view.Period, 1, false) +
               (view.Verified ? "\">" : "\" aria-current=\"page\">") + "All results</a><a href=\"" +
               Link(view.Period, 1, true) + (view.Verified ? "\" aria-current=\"page\">" : "\">") +
               "Verified only</a></nav>\n";
    }
    out += "<div class=\"sheet\">\n";

    if (view.Search) {
        out += "<p class=\"note\">";
        out += view.Scores.Entries.empty() ? "No name on this list contains " : "Names containing ";
        AppendQuoted(out, *view.Search);
        out += view.Scores.Entries.size() >= static_cast<std::size_t>(view.PageSize)
                   ? " (the best " + Digits(view.PageSize) + ")"
                   : "";
        out += view.Scores.Entries.empty() ? "." : ":";
        out += " <a href=\"" + link(view.Period, 1) + "\">Back to the list</a></p>\n";
    }
    if (view.Score) {
        out += "<p class=\"note\">A score of " + Digits(*view.Score) + " takes place " +
               Digits(view.ScoreRank) +
               (view.ScoreRank > 1 ? "; the entries around it:" : "; that is the top!") + "</p>\n";
    }
    if (view.Scores.Entries.empty() && view.Page > 1) {
        std::int64_t lastPage =
            std::max<std::int64_t>(1, (view.Scores.Total + view.PageSize - 1) / view.PageSize);
        out += "<p class=\"empty\">There is no page " + Digits(view.Page) + ": the list ";
        out +=
            view.Scores.Total > 0
                ? "ends on <a href=\"" + link(view.Period, lastPage) + "\">page " + Digits(lastPage) + "</a>."
                : "is empty; <a href=\"" + link(view.Period, 1) + "\">back to its start</a>.";
        out += "</p>\n";
    } else if (view.Scores.Entries.empty() && !view.Search) {
        out += "<p class=\"empty\">";
        out += EmptyText(view.Period);
        out += "</p>\n";
    } else if (!view.Scores.Entries.empty()) {
        out += "<table>\n<caption class=\"sr\">World high scores, ";
        out += TabLabel(view.Period);
        if (view.Search) {
            out += ", names containing ";
            AppendQuoted(out, *view.Search);
        } else {
            std::int64_t firstPlace = (view.Page - 1) * view.PageSize + 1;
            out += ", places " + Digits(firstPlace) + "\xE2\x80\x93" +
                   Digits(firstPlace + static_cast<std::int64_t>(view.Scores.Entries.size()) - 1) + " of " +
                   Digits(view.Scores.Total);
        }
        out +=
            "</caption>\n<thead><tr><th scope=\"col\" class=\"place\">Place</th><th scope=\"col\">Name</th>"
            "<th scope=\"col\" class=\"score\">Score</th><th scope=\"col\">Crew</th>"
            "<th scope=\"col\" class=\"date\">Date (UTC)</th>"
            "<th scope=\"col\" class=\"check\"><span "
            "class=\"sr\">Verified</span></th></tr></thead>\n<tbody>\n";
        bool marked = false;
        for (const TRankedEntry& e : view.Scores.Entries) {
            constexpr std::array<std::string_view, 4> medals = {"", " gold", " silver", " bronze"};
            bool medal = e.Rank >= 1 && e.Rank <= 3;
            bool here = view.Score && !marked && e.Rank >= view.ScoreRank;
            marked = marked || here;
            std::string classes =
                std::string(medal ? medals[static_cast<std::size_t>(e.Rank)] : "") + (here ? " here" : "");
            out += "<tr";
            if (!classes.empty())
                out += " class=\"" + classes.substr(1) + "\"";
            if (here)
                out += " id=\"here\"";
            out += "><td class=\"place\">";
            out += medal ? "<span class=\"medal\">" + Digits(e.Rank) + "</span>" : Digits(e.Rank);
            out += "</td><td class=\"name\">";
            if (e.Name.empty())
                out += "<span class=\"none\">(no name)</span>";
            else
                AppendHtml(out, e.Name);
            out += "</td><td class=\"score\">";
            out += Digits(e.Score);
            out += "</td><td class=\"crew\">";
            if (!DefaultCrew(e.Crew))
                AppendHtml(out, e.Crew);
            out += "</td><td class=\"date\">";
            out += FormatMinuteUtc(e.Received);
            out += "</td><td class=\"check\">";
            AppendVerification(out, e);
            out += "</td></tr>\n";
        }
        out += "</tbody>\n</table>\n";
    }
    out += "</div>\n";

    std::int64_t first = (view.Page - 1) * view.PageSize + 1;
    std::int64_t last = first + static_cast<std::int64_t>(view.Scores.Entries.size()) - 1;
    if (!view.Scores.Entries.empty() && !view.Search) {
        out += "<p class=\"summary\">Places " + Digits(first) + "\xE2\x80\x93" + Digits(last) + " of " +
               Digits(view.Scores.Total) + (view.Scores.Total == 1 ? " result" : " results") + "</p>\n";
    }
    // Past the end there is nothing to step from: the link to the last page stands instead.
    bool previous = view.Page > 1 && !view.Scores.Entries.empty();
    bool next = last < view.Scores.Total && !view.Scores.Entries.empty() && !view.Search;
    previous = previous && !view.Search;
    if (previous || next) {
        out += "<nav class=\"pages\">";
        if (previous) {
            std::int64_t prevFirst = std::max<std::int64_t>(1, first - view.PageSize);
            out += "<a href=\"" + link(view.Period, view.Page - 1) + "\" rel=\"prev\">\xE2\x80\xB9 Places " +
                   Digits(prevFirst) + "\xE2\x80\x93" + Digits(prevFirst + view.PageSize - 1) + "</a>";
        }
        if (next) {
            std::int64_t nextLast = std::min(view.Scores.Total, last + view.PageSize);
            out += "<a href=\"" + link(view.Period, view.Page + 1) + "\" rel=\"next\">Places " +
                   Digits(last + 1) + "\xE2\x80\x93" + Digits(nextLast) + " \xE2\x80\xBA</a>";
        }
        out += "</nav>\n";
    }
    // Finding oneself among a hundred thousand: a name, or the place a score takes.
    std::string hidden = "<input type=\"hidden\" name=\"prg\" value=\"Spraydash\"><input type=\"hidden\" "
                         "name=\"show\" value=\"\"><input type=\"hidden\" name=\"type\" value=\"0\">";
    if (view.Period != TPeriod::All)
        hidden +=
            "<input type=\"hidden\" name=\"period\" value=\"" + std::string(PeriodName(view.Period)) + "\">";
    if (verifiedView)
        hidden += "<input type=\"hidden\" name=\"verified\" value=\"1\">";
    out += "<div class=\"find\"><form method=\"get\" action=\"\" role=\"search\">" + hidden +
           "<label>Name <input name=\"name\" maxlength=\"40\" autocomplete=\"off\"></label>"
           "<button>Find</button></form><form method=\"get\" action=\"\">" +
           hidden +
           "<label>Where would a score stand? <input name=\"score\" type=\"number\" "
           "inputmode=\"numeric\"></label>"
           "<button>Show</button></form></div>\n";
    out += "</section>\n</main>\n<footer>Results sent from the game after a race; \xE2\x9C\x93 marks a "
           "result the server has re-run from the race's replay, which the mark downloads (open it with "
           "spraydash --replay). Days, weeks and months "
           "count in UTC. For other sites: <a href=\"../api/v1/scores?period=";
    out += PeriodName(view.Period);
    out += "\">the same list as JSON</a>.</footer>\n</body>\n</html>\n";
    return out;
}
