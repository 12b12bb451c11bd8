#pragma once

#include <cstdint>
#include <initializer_list>

namespace nomilo {

// The kinds of directory items a file list admits. The first six stand for attribute bits of
// the directory search; ftNormal admits every item the search yields.
enum TFileAttr : std::uint8_t {
    ftReadOnly,
    ftHidden,
    ftSystem,
    ftVolumeID,
    ftDirectory,
    ftArchive,
    ftNormal,
};

// A set of TFileAttr held in one byte, bit n for the n-th value: [ftNormal] is 0x40.
class TFileType {
public:
    constexpr TFileType() = default;
    constexpr TFileType(std::initializer_list<TFileAttr> attrs) {
        for (TFileAttr attr : attrs)
            bits_ = static_cast<std::uint8_t>(bits_ | Bit(attr));
    }
    static constexpr TFileType FromByte(std::uint8_t byte) {
        TFileType type;
        type.bits_ = static_cast<std::uint8_t>(byte & 0x7F);
        return type;
    }

    constexpr std::uint8_t Byte() const { return bits_; }
    constexpr bool Contains(TFileAttr attr) const { return (bits_ & Bit(attr)) != 0; }
    constexpr bool IsEmpty() const { return bits_ == 0; }

    // The attribute bits of the values held: ftReadOnly 0x01, ftHidden 0x02, ftSystem 0x04,
    // ftVolumeID 0x08, ftDirectory 0x10, ftArchive 0x20; ftNormal adds nothing.
    constexpr std::uint32_t AttributeWord() const {
        constexpr std::uint32_t bits[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20};
        std::uint32_t word = 0;
        for (int attr = ftReadOnly; attr <= ftArchive; ++attr)
            if (Contains(static_cast<TFileAttr>(attr)))
                word |= bits[attr];
        return word;
    }

    // The attribute bits of the items the directory search passes over for a list of this
    // type: hidden, system, volume label and directory, less those the type asks for.
    constexpr std::uint32_t ExcludedBySearch() const {
        constexpr std::uint32_t hiddenSystemVolumeDirectory = 0x02 | 0x04 | 0x08 | 0x10;
        return hiddenSystemVolumeDirectory & ~AttributeWord();
    }
    // Whether a list of this type shows an item the search yielded with `attributes`: any
    // item with ftNormal, else one that carries a bit of the attribute word.
    constexpr bool Admits(std::uint32_t attributes) const {
        return Contains(ftNormal) || (attributes & AttributeWord()) != 0;
    }

    friend constexpr bool operator==(TFileType, TFileType) = default;

private:
    static constexpr std::uint8_t Bit(TFileAttr attr) {
        return static_cast<std::uint8_t>(1u << attr);
    }
    std::uint8_t bits_ = 0;
};

} // namespace nomilo
