// Pictures and outlines of forms. A picture shows every visible control in its rectangle
// with its text (converted to UTF-8), combo texts, progress, bevels, group boxes and the
// greyed look of disabled controls; an outline lists the controls as text.
#pragma once

#include <string>

class TControl;

namespace toolkit {

// The control (usually a form, drawn with its frame and title) as an SVG document.
std::string RenderSvg(const TControl& root);
// Writes the SVG picture to `path` (UTF-8). Exception when the file cannot be written.
void SaveSvg(const TControl& root, const std::string& path);
// Writes a PNG picture through rsvg-convert (package librsvg2-bin). Exception when the
// converter is missing or fails.
void SavePng(const TControl& root, const std::string& path);
// One line per control, indented by depth: class, name, rectangle, text, state (UTF-8).
std::string DescribeControls(const TControl& root);

}  // namespace toolkit
