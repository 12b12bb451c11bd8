#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace nomilo {

// Path texts as the browsing controls take them apart. The separator is "/"; a Linux path has
// no drive part, so the root of every path is "/".

constexpr char kPathSeparator = '/';

// The number of separators in `path`.
int SeparatorCount(std::string_view path);

// `folder` + `name`, with one separator between them unless `folder` already ends with one.
std::string JoinPath(std::string_view folder, std::string_view name);

// The drive part of `path`: always empty on Linux (no drive letters, no server shares in
// paths), kept so that the path routines read as they would with one.
std::string_view DrivePart(std::string_view path);

// The text after the last separator of `path` (all of it when there is none).
std::string_view LastComponent(std::string_view path);

// The width in pixels of a text, as the place it is drawn measures it.
using TTextWidth = std::function<int(std::string_view text)>;

// `path` shortened until it is at most `width` wide: the leading folders give way one by one to
// "...", then the root goes, then the folders altogether, until only the last name is left
// (which may still be wider). "/usr/share/doc/pkg" becomes "/.../share/doc/pkg",
// "/.../doc/pkg", "/.../pkg", ".../pkg", then "pkg".
std::string FitPathToWidth(std::string_view path, const TTextWidth& textWidth, int width);

// Drops the first folder of the folder part `s` (which ends with a separator), putting ".../"
// in its place: "/usr/share/" becomes "/.../share/", "/.../share/" becomes "/.../", ".../"
// becomes empty, and "/" becomes empty.
void DropFirstFolder(std::string& s);

} // namespace nomilo
