#include "html.h"

namespace olsim::view {

std::string Escape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string Document(std::string_view title, std::string_view style, std::string_view body,
                     std::string_view script) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n";
    // No request may leave the page, even one a state's text could smuggle in.
    page +=
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "img-src data:; style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n";
    page += "<title>" + Escape(title) + "</title>\n<style>\n";
    page += style;
    page += "</style></head>\n<body>\n";
    page += body;
    if (!script.empty()) {
        page += "<script>\n";
        page += script;
        page += "</script>\n";
    }
    return page + "</body></html>\n";
}

}  // namespace olsim::view
