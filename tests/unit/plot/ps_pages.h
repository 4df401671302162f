/// Test support: reads the stroked line segments and the text strings of each
/// page of a PostScript file written by the graphics library, and maps world
/// coordinates of a frame to the page coordinates found there.
#pragma once

#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace plottest {

struct Segment {
    double x1, y1, x2, y2;
    bool dashed;
    std::string dash;  // the dash array in force, "" for a full line
};

struct Page {
    std::vector<Segment> segments;
    std::vector<std::string> texts;
};

struct PsFile {
    double width = 0.0;
    double height = 0.0;
    std::vector<Page> pages;
};

/// Splits the page body into tokens; strings in parentheses become one
/// token that starts with '(' and brackets are tokens of their own.
inline std::vector<std::string> ps_tokens(const std::string& body) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < body.size()) {
        const char c = body[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '(') {
            std::string s = "(";
            int depth = 1;
            ++i;
            while (i < body.size() && depth > 0) {
                if (body[i] == '\\' && i + 1 < body.size()) {
                    s += body[i + 1];
                    i += 2;
                    continue;
                }
                if (body[i] == '(') ++depth;
                if (body[i] == ')') --depth;
                if (depth > 0) s += body[i];
                ++i;
            }
            out.push_back(s);
        } else if (c == '[' || c == ']') {
            out.emplace_back(1, c);
            ++i;
        } else {
            std::string s;
            while (i < body.size() && !std::isspace(static_cast<unsigned char>(body[i])) &&
                   body[i] != '[' && body[i] != ']' && body[i] != '(')
                s += body[i++];
            out.push_back(s);
        }
    }
    return out;
}

inline bool is_number(const std::string& t, double& v) {
    if (t.empty()) return false;
    char* end = nullptr;
    v = std::strtod(t.c_str(), &end);
    return end == t.c_str() + t.size();
}

inline Page parse_page(const std::string& body) {
    Page page;
    std::vector<double> nums;
    std::vector<Segment> path;
    double cx = 0.0;
    double cy = 0.0;
    std::string dash;
    std::vector<std::string> dash_stack;
    bool in_array = false;
    std::string array;
    for (const std::string& t : ps_tokens(body)) {
        double v = 0.0;
        if (t == "[") {
            in_array = true;
            array.clear();
            continue;
        }
        if (t == "]") {
            in_array = false;
            continue;
        }
        if (in_array) {
            array += (array.empty() ? "" : " ") + t;
            continue;
        }
        if (is_number(t, v)) {
            nums.push_back(v);
            continue;
        }
        if (t[0] == '(') {
            page.texts.push_back(t.substr(1));
        } else if (t == "m" && nums.size() >= 2) {
            cx = nums[nums.size() - 2];
            cy = nums[nums.size() - 1];
        } else if (t == "l" && nums.size() >= 2) {
            const double x = nums[nums.size() - 2];
            const double y = nums[nums.size() - 1];
            path.push_back({cx, cy, x, y, !dash.empty(), dash});
            cx = x;
            cy = y;
        } else if (t == "c" && nums.size() >= 6) {
            cx = nums[nums.size() - 2];
            cy = nums[nums.size() - 1];
        } else if (t == "d") {
            dash = array;
        } else if (t == "q") {
            dash_stack.push_back(dash);
        } else if (t == "Q") {
            if (!dash_stack.empty()) {
                dash = dash_stack.back();
                dash_stack.pop_back();
            }
        } else if (t == "S") {
            page.segments.insert(page.segments.end(), path.begin(), path.end());
            path.clear();
        } else if (t == "n" || t == "f" || t == "f*" || t == "W" || t == "W*") {
            path.clear();
        }
        nums.clear();
    }
    return page;
}

/// Reads every page of the file.
inline PsFile read_ps(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    PsFile file;
    std::size_t bb = text.find("%%PageBoundingBox:");
    if (bb != std::string::npos) {
        std::istringstream line(text.substr(bb + 18, 60));
        double x0 = 0.0;
        double y0 = 0.0;
        line >> x0 >> y0 >> file.width >> file.height;
    }
    std::size_t pos = 0;
    while ((pos = text.find("%%EndPageSetup", pos)) != std::string::npos) {
        std::size_t end = text.find("showpage", pos);
        if (end == std::string::npos) end = text.size();
        file.pages.push_back(parse_page(text.substr(pos + 14, end - pos - 14)));
        pos = end;
    }
    return file;
}

/// Maps world coordinates of a frame (window and viewport) onto the page,
/// whose y axis runs downwards from the top edge.
struct Frame {
    double xlo, xhi, ylo, yhi;  // window
    double vl, vr, vb, vt;      // viewport, normalized device coordinates
    double width, height;       // page size
    double px(double x) const { return width * (vl + (x - xlo) / (xhi - xlo) * (vr - vl)); }
    double py(double y) const {
        return height * (1.0 - (vb + (y - ylo) / (yhi - ylo) * (vt - vb)));
    }
};

inline bool near(double a, double b, double tol = 0.05) { return std::fabs(a - b) <= tol; }

/// Whether a stroked segment joins the two page points (in either direction).
inline bool has_segment(const Page& p, double x1, double y1, double x2, double y2,
                        double tol = 0.05) {
    for (const Segment& s : p.segments) {
        if (near(s.x1, x1, tol) && near(s.y1, y1, tol) && near(s.x2, x2, tol) && near(s.y2, y2, tol))
            return true;
        if (near(s.x1, x2, tol) && near(s.y1, y2, tol) && near(s.x2, x1, tol) && near(s.y2, y1, tol))
            return true;
    }
    return false;
}

/// Whether a marker of symbol 2 (a plus sign: one horizontal and one vertical
/// stroke crossing at their middles) is centred at the page point.
inline bool has_plus_at(const Page& p, double x, double y, double tol = 0.05) {
    bool h = false;
    bool v = false;
    for (const Segment& s : p.segments) {
        const double mx = (s.x1 + s.x2) / 2.0;
        const double my = (s.y1 + s.y2) / 2.0;
        if (!near(mx, x, tol) || !near(my, y, tol)) continue;
        if (near(s.y1, s.y2, 1e-3) && std::fabs(s.x1 - s.x2) > 1.0) h = true;
        if (near(s.x1, s.x2, 1e-3) && std::fabs(s.y1 - s.y2) > 1.0) v = true;
    }
    return h && v;
}

/// Segments with at least one end inside the page rectangle [x1,x2] x [y1,y2].
inline int segments_in(const Page& p, double x1, double x2, double y1, double y2) {
    int n = 0;
    auto inside = [&](double x, double y) { return x >= x1 && x <= x2 && y >= y1 && y <= y2; };
    for (const Segment& s : p.segments)
        if (inside(s.x1, s.y1) || inside(s.x2, s.y2)) ++n;
    return n;
}

}  // namespace plottest
