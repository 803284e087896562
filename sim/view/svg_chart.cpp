#include "svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "html.h"

namespace olsim::view {
namespace {

// The plotting area inside the chart's box, leaving room for the axes'
// labels, the title and the legend.
constexpr double kLeft = 60;
constexpr double kRight = 20;
constexpr double kTop = 46;  // the title, then the legend's row
constexpr double kBottom = 50;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string TickText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::abs(value) < 1e-9 ? 0.0 : value);
    return text;
}

}  // namespace

std::vector<double> Ticks(double min, double max, int count) {
    if (!(max > min) || count < 2)
        return {min};
    const double rough = (max - min) / (count - 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= rough)
            break;
    }
    std::vector<double> ticks;
    for (double tick = std::ceil(min / step - 1e-9) * step; tick <= max + step * 1e-9; tick += step)
        ticks.push_back(tick);
    return ticks;
}

SvgChart::SvgChart(std::string title, Axis x, Axis y, int width, int height)
    : m_title(std::move(title)),
      m_x(std::move(x)),
      m_y(std::move(y)),
      m_width(width),
      m_height(height) {
    if (!(m_x.max > m_x.min))
        m_x.max = m_x.min + 1;
    if (!(m_y.max > m_y.min))
        m_y.max = m_y.min + 1;
}

double SvgChart::X(double value) const {
    return kLeft + (value - m_x.min) / (m_x.max - m_x.min) * (m_width - kLeft - kRight);
}

double SvgChart::Y(double value) const {
    return m_height - kBottom -
           (value - m_y.min) / (m_y.max - m_y.min) * (m_height - kTop - kBottom);
}

void SvgChart::Legend(const std::string& cssClass, const std::string& name) {
    m_legend.emplace_back(cssClass, name);
}

void SvgChart::Bars(const std::vector<std::pair<double, double>>& xAndHeight, double width,
                    const std::string& cssClass, const std::string& name) {
    m_marks +=
        "<g class=\"series bars " + Escape(cssClass) + "\" data-name=\"" + Escape(name) + "\">";
    for (const auto& [x, height] : xAndHeight) {
        if (height <= 0)
            continue;
        const double top = Y(std::min(height, m_y.max));
        m_marks += "<rect x=\"" + Number(X(x)) + "\" y=\"" + Number(top) + "\" width=\"" +
                   Number(std::max(X(x + width) - X(x) - 1, 1.0)) + "\" height=\"" +
                   Number(Y(0) - top) + "\"><title>" + TickText(x) + ": " + TickText(height) +
                   "</title></rect>";
    }
    m_marks += "</g>";
    Legend(cssClass, name);
}

void SvgChart::Line(const std::vector<std::pair<double, double>>& points,
                    const std::string& cssClass, const std::string& name) {
    std::string list;
    for (const auto& [x, y] : points)
        list += Number(X(x)) + "," + Number(Y(y)) + " ";
    m_marks += "<polyline class=\"series line " + Escape(cssClass) + "\" data-name=\"" +
               Escape(name) + "\" points=\"" + list + "\"/>";
    Legend(cssClass, name);
}

void SvgChart::Points(const std::vector<std::pair<double, double>>& points,
                      const std::string& cssClass, const std::string& name) {
    // One path of tiny squares: thousands of points stay one element.
    std::string path;
    for (const auto& [x, y] : points)
        path += "M" + Number(X(x) - 1) + " " + Number(Y(std::min(y, m_y.max)) - 1) + "h2v2h-2z";
    m_marks += "<path class=\"series points " + Escape(cssClass) + "\" data-name=\"" +
               Escape(name) + "\" d=\"" + path + "\"/>";
    Legend(cssClass, name);
}

void SvgChart::Marker(double x, const std::string& cssClass, const std::string& label) {
    m_marks += "<g class=\"marker " + Escape(cssClass) + "\"><line x1=\"" + Number(X(x)) +
               "\" x2=\"" + Number(X(x)) + "\" y1=\"" + Number(kTop) + "\" y2=\"" +
               Number(Y(m_y.min)) + "\"/><text x=\"" + Number(X(x) + 4) + "\" y=\"" +
               Number(kTop + 12) + "\">" + Escape(label) + "</text></g>";
}

std::string SvgChart::Svg() const {
    std::string svg = "<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(m_width) + "\" height=\"" + std::to_string(m_height) +
                      "\" viewBox=\"0 0 " + std::to_string(m_width) + " " +
                      std::to_string(m_height) + "\" role=\"img\"><title>" + Escape(m_title) +
                      "</title>";
    svg += "<text class=\"chart-title\" x=\"" + Number(kLeft) + "\" y=\"18\">" + Escape(m_title) +
           "</text>";
    svg += "<g class=\"axis x\"><line x1=\"" + Number(kLeft) + "\" x2=\"" +
           Number(m_width - kRight) + "\" y1=\"" + Number(Y(m_y.min)) + "\" y2=\"" +
           Number(Y(m_y.min)) + "\"/>";
    for (size_t i = 0; i < m_categories.size(); ++i)
        svg += "<text class=\"tick\" x=\"" + Number(X(static_cast<double>(i) + 0.5)) + "\" y=\"" +
               Number(Y(m_y.min) + 16) + "\" text-anchor=\"middle\">" + Escape(m_categories[i]) +
               "</text>";
    for (double tick : m_categories.empty() ? Ticks(m_x.min, m_x.max) : std::vector<double>{})
        svg += "<text class=\"tick\" x=\"" + Number(X(tick)) + "\" y=\"" + Number(Y(m_y.min) + 16) +
               "\" text-anchor=\"middle\">" + TickText(tick) + "</text>";
    svg += "<text class=\"label\" x=\"" + Number((kLeft + m_width - kRight) / 2) + "\" y=\"" +
           Number(m_height - 10.0) + "\" text-anchor=\"middle\">" + Escape(m_x.label) +
           "</text></g>";
    svg += "<g class=\"axis y\"><line x1=\"" + Number(kLeft) + "\" x2=\"" + Number(kLeft) +
           "\" y1=\"" + Number(kTop) + "\" y2=\"" + Number(Y(m_y.min)) + "\"/>";
    for (double tick : Ticks(m_y.min, m_y.max, 5))
        svg += "<text class=\"tick\" x=\"" + Number(kLeft - 6) + "\" y=\"" + Number(Y(tick) + 4) +
               "\" text-anchor=\"end\">" + TickText(tick) + "</text>";
    svg += "<text class=\"label\" transform=\"translate(14 " + Number((kTop + Y(m_y.min)) / 2) +
           ") rotate(-90)\" text-anchor=\"middle\">" + Escape(m_y.label) + "</text></g>";
    svg += m_marks;
    double legendX = kLeft;
    std::string legend;
    for (const auto& [cssClass, name] : m_legend) {
        legend += "<g class=\"legend " + Escape(cssClass) + "\"><rect x=\"" + Number(legendX) +
                  "\" y=\"24\" width=\"10\" height=\"10\"/><text x=\"" + Number(legendX + 14) +
                  "\" y=\"33\">" + Escape(name) + "</text></g>";
        legendX += 14 + 6.5 * static_cast<double>(name.size()) + 16;
    }
    return svg + legend + "</svg>";
}

}  // namespace olsim::view
