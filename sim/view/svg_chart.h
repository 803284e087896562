// Charts as inline SVG for the pages: two axes with rounded ticks and their
// labels, then bars, lines and marker lines in data coordinates, each series
// named in a legend. The page's style sheet colours them by class.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace olsim::view {

struct Axis {
    std::string label;
    double min = 0;
    double max = 1;
};

// Up to about `count` ticks between min and max, at steps of 1, 2 or 5 times
// a power of ten.
std::vector<double> Ticks(double min, double max, int count = 6);

class SvgChart {
  public:
    SvgChart(std::string title, Axis x, Axis y, int width = 640, int height = 300);

    // Bars from `x` to `x + width`, from 0 up to each height.
    void Bars(const std::vector<std::pair<double, double>>& xAndHeight, double width,
              const std::string& cssClass, const std::string& name);
    void Line(const std::vector<std::pair<double, double>>& points, const std::string& cssClass,
              const std::string& name);
    void Points(const std::vector<std::pair<double, double>>& points, const std::string& cssClass,
                const std::string& name);
    // A line across the whole height at `x`, labelled.
    void Marker(double x, const std::string& cssClass, const std::string& label);
    // Names under the x axis in place of numbers: the i-th at i + 0.5.
    void Categories(std::vector<std::string> names) { m_categories = std::move(names); }

    std::string Svg() const;

  private:
    double X(double value) const;
    double Y(double value) const;
    void Legend(const std::string& cssClass, const std::string& name);

    std::string m_title;
    Axis m_x;
    Axis m_y;
    int m_width;
    int m_height;
    std::string m_marks;
    std::vector<std::pair<std::string, std::string>> m_legend;  // class, name
    std::vector<std::string> m_categories;
};

}  // namespace olsim::view
