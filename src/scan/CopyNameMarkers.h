#pragma once

#include <string_view>

// The words that mark a file name as a copy of another ("photo copy",
// "copy of photo", "foto kopie", ...), in the languages file managers use for
// them. Used by AutoSelectName.
//
// Every entry is lowercase and in canonical decomposed form (NFD): an accented
// letter is its base letter followed by a combining mark, a Hangul syllable is
// its conjoining jamo, the Japanese katakana "pi" is "hi" plus the combining
// semi-voiced mark. Names are brought to the same form before they are
// compared, and comparisons are plain byte comparisons of UTF-8.
//
// The order of each table matters: the first entry that matches wins.
namespace kestrane::copy_name_markers {

// Markers at the end of a name ("report copy" -> "report").
inline constexpr std::string_view kSuffixes[] = {
    " copy",
    " копия",
    " (kopie)",
    " kopie",
    " (ko\u0301pia)",  // (kópia)
    " ko\u0301pia",    // kópia
    " (สำเนา)",
    " สำเนา",
    " - copie",
    " - עותק",
    " עותק",
    " copia",
    " co\u0300pia",  // còpia
    "-co\u0301pia",  // -cópia
    " kopi",
    " kopia",
    " kopija",
    " kopio",
    " kopya",
    " ma\u0301solat",  // másolat
    " salin",
    " 拷貝",
    " копія",
    " \u306E\u30B3\u30D2\u309A\u30FC",                          // のコピー
    " \u1107\u1169\u11A8\u1109\u1161\u1107\u1169\u11AB",        // 복사본
    " \u03B1\u03BD\u03C4\u03B9\u0301\u03B3\u03C1\u03B1\u03C6\u03BF",  // αντίγραφο
    "-kopia",
    "副本",
    " نسخة",
};

// Numbered markers at the end of a name, tried after kSuffixes and only when
// the name ends with kNumberedSuffixClose: the opening text, then ASCII digits
// (possibly none) that are the copy's number, then the closing text
// ("foto (kopie 2)").
struct NumberedMarker {
    std::string_view open;
    std::string_view close;
};
inline constexpr std::string_view kNumberedSuffixClose = ")";
inline constexpr NumberedMarker kNumberedSuffixes[] = {
    {" (kopie ", ")"},
    {" (ko\u0301pia ", ")"},  // (kópia N)
};

// A name that is exactly this text is nothing but a copy marker.
inline constexpr std::string_view kWholePrefix = "copy of";

// Markers at the start of a name ("copy of report" -> "report").
inline constexpr std::string_view kPrefixes[] = {
    "copy of ",
    "copy ",
    "копия ",
    "ba\u0309n sao ",    // bản sao
    "co\u0301pia de ",   // cópia de
    "salinan ",
    "نسخة ",
};

// The numbered marker at the start of a name ("cópia 2 de foto"), tried after
// kPrefixes and only when the name starts with its opening text.
inline constexpr NumberedMarker kNumberedPrefix = {"co\u0301pia ", " de "};

// Names that are, as a whole, only a copy word.
inline constexpr std::string_view kWholeNames[] = {
    "copy",
    "копия",
    "(kopie)",
    "kopie",
    "(ko\u0301pia)",  // (kópia)
    "ko\u0301pia",    // kópia
    "(สำเนา)",
    "สำเนา",
    "- copie",
    "copie",
    "- עותק",
    "עותק",
    "copia",
    "co\u0300pia",  // còpia
    "kopi",
    "kopia",
    "kopija",
    "kopio",
    "kopya",
    "ma\u0301solat",  // másolat
    "salin",
    "拷貝",
    "копія",
    "\u306E\u30B3\u30D2\u309A\u30FC",                          // のコピー
    "\u1107\u1169\u11A8\u1109\u1161\u1107\u1169\u11AB",        // 복사본
    "\u03B1\u03BD\u03C4\u03B9\u0301\u03B3\u03C1\u03B1\u03C6\u03BF",  // αντίγραφο
    "-kopia",
    "副本",
    "نسخة",
    "ba\u0309n sao",   // bản sao
    "co\u0301pia de",  // cópia de
    "salinan",
};

// The numbered whole name: "cópia N de" with ASCII digits (possibly none).
inline constexpr NumberedMarker kNumberedWholeName = {"co\u0301pia ", " de"};

}  // namespace kestrane::copy_name_markers
