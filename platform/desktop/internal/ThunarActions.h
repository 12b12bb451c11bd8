#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// One custom action of ours for Thunar's uca.xml: its unique id and its <action> element.
struct ThunarAction {
    std::string id;
    std::string xml;
};

// The outcome of editing uca.xml: the new text, or, when the file is damaged, why.
struct ThunarEdit {
    std::optional<std::string> text;
    std::string damage;
};

// The actions file `text` with our actions made `ours`. An action is ours when its unique id
// says so (IsOurThunarActionId): one whose id is still wanted is replaced where it stands, the
// others go (with the lines they stood on alone), and the wanted ones not there yet are added
// at the end of <actions>. Every other byte stays as it is (a byte order mark too), and adding
// actions and then removing them gives the text back byte for byte: they go on lines of their
// own only before an end tag that begins its line, and an empty <actions/> is opened with an
// end tag of its own ("</actions >") that closes again when the last of ours goes. The file
// is damaged when it is not UTF-8, not well-formed XML, or its root is not <actions>.
ThunarEdit EditThunarActions(std::string_view text, const std::vector<ThunarAction>& ours);

} // namespace nomilo
