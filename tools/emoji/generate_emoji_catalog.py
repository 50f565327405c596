#!/usr/bin/env python3
"""Writes src/Utilities/EmojiCatalogData.cpp, the emoji table of the icon chooser.

The characters and their order come from the Unicode emoji test file, the keywords from the
English CLDR annotations, both as Debian packages them:

    apt-get install unicode-data unicode-cldr-core
    tools/emoji/generate_emoji_catalog.py

The packages are needed only to run this script; the generated table is committed. Each
category below is a recipe: Unicode subgroups (or explicit runs of characters) taken in order,
less the characters listed as left out, cut to the category's size. A few characters have
fixed places and keywords that the rest of the program and its users rely on; the script
checks them and stops if the data no longer produce them.
"""

import argparse
import re
import sys
import unicodedata
import xml.etree.ElementTree as ElementTree
from pathlib import Path

EMOJI_TEST = Path("/usr/share/unicode/emoji/emoji-test.txt")
ANNOTATIONS = [
    Path("/usr/share/unicode/cldr/common/annotations/en.xml"),
    Path("/usr/share/unicode/cldr/common/annotationsDerived/en.xml"),
]
OUTPUT = Path(__file__).resolve().parents[2] / "src/Utilities/EmojiCatalogData.cpp"

# Newer emoji than the CLDR release and the colour font of Debian 12 know are left out.
NEWEST_EMOJI_VERSION = 14.0

MAX_WORDS = 4
MAX_KEYWORD_LENGTH = 25
FILLER_WORDS = {"a", "an", "and", "of", "on", "in", "with", "the", "for", "at", "to"}

HEARTS = "❤️ 🧡 💛 💚 💙 💜 🤎 🖤 🤍 💔 ❤️‍🔥 ❤️‍🩹 ❣️ 💕 💞 💓 💖 💝"
ANIMAL_FACES = "🐶 🐱 🐭 🐹 🐰 🦊 🐻 🐼 🐻‍❄️ 🐨 🐯 🦁 🐮 🐷 🐸 🐵"
GAMES = "🎯 🎳 🎮 🕹️ 🎲 🧩 ♟️ 🃏 🀄 🎴 🎱 🪀 🪁 🧸 🪅 🪩 🪆 🔮 🪄 🎰 ♠️ ♥️ ♦️ ♣️"

# (id, size, sources, left out); man and woman forms of person emoji are always left out.
CATEGORIES = [
    ("smileys", 131,
     ["face-smiling", "face-affection", "face-tongue", "face-hand", "face-neutral-skeptical",
      "face-sleepy", "face-unwell", "face-hat", "face-glasses", "face-concerned",
      "face-negative", "face-costume", HEARTS],
     "☠️"),
    ("people", 130,
     ["hand-fingers-open", "hand-fingers-partial", "hand-single-finger", "hand-fingers-closed",
      "hands", "hand-prop", "body-parts", "person", "person-gesture", "person-role",
      "person-fantasy", "person-symbol", "👪"],
     "🫱 🫲 🫳 🫴 🦿 🦻 🫁 🫃 🫄"),
    ("animals", 140,
     [ANIMAL_FACES, "animal-mammal", "animal-bird", "animal-amphibian", "animal-reptile",
      "animal-marine", "animal-bug", "plant-flower", "plant-other"],
     "🐽 🦠 🪹 🪺 💮"),
    ("food", 106,
     ["food-fruit", "food-vegetable", "food-prepared", "food-asian", "food-sweet", "drink",
      "🍽️ 🍴"],
     "🫓 🫔 🫕 🧆 🧈 🧂 🥫 🍘 🍥 🥮 🍢 🥠 🥡 🫗 🫘"),
    ("travel", 122,
     ["🚀 ✈️", "transport-air", "transport-ground", "transport-water", "hotel", "place-map",
      "place-geographic", "place-building", "place-other", "sky & weather"],
     "🚃 🚄 🚅 🚈 🚊 🚝 🚞 🚋 🚍 🚎 🚔 🚖 🚘 🚛 🛥️ 🌨️ ☃️ 🦽 🦼 🛺 🛣️ 🛤️ 🛢️ 🛞 🚥 "
     "🛩️ 🚟 🚠 🚡 ⛴️ 🏣 🏤 🏩 🏚️ 🛖 🪵 🪨 🧱 🌁 🌃 🌆 ♨️ 🛝 💈 "
     "🌒 🌓 🌔 🌖 🌗 🌘 🌚 🌛 🌜 🌝 🌞 🌥️ 🌬️ ☂️ 🌀"),
    ("objects", 123,
     ["💡", "event", "light & video", "computer", "phone", "sound", "book-paper", "office",
      "writing", "mail", "money", "lock", "tool", "science", "medical", "household",
      "⌛ ⏳ ⌚ ⏰ ⏱️",
      "👓 🕶️ 🎒 👑 💎 💍 💼 🧳"],
     "🎇 🧨 🎊 🖨️ 🖱️ 💿 🧮 🔇 🔕 📔 📗 📘 📙 📓 📇 📉 ✒️ 🖋️ 📫 🪙 🪓 ⛏️ 🩸 "
     "📽️ 📼 🏮 🪔 🎞️ 🔎 🖲️ 💽 📀 🪫 📲 📟 📠 🔈 🔉 📯 📒 📃 📑 🗞️ 🗒️ 🗃️ 🖇️ 📨 📩 📪 📭 🗳️ "
     "💴 💶 💷 🔏 🎋 🎍 🎎 🎏 🎐 🎑 🧧 🎗️ 🎟️ 🎫 🎖️ ⚒️ 🗡️ ⚔️ 🪃 🏹 🪚 🗜️ 🦯 ⛓️ 🪝 🪜 "
     "⚗️ 🧫 🩼 🩻 🛗 🪞 🪟 🪑 🪠 🪤 🪒 🧴 🧷 🪣 🫧 🪥 🧽 🧯 ⏲️ 🕰️"),
    ("symbols", 97,
     ["❤️", "award-medal", "sport", GAMES, "arts & crafts", "music", "musical-instrument",
      "other-symbol", "punctuation", "warning", "💯 💤 💬 💭"],
     "🎖️ 🥅 🎽 🧵 🪡 🪢 🎚️ 🎛️ "
     "⚕️ 📛 ➰ ➿ 〽️ ✳️ ✴️ ❇️ ©️ ®️ ™️ ❔ ❕ 〰️ 🚸 🚳 🚭 🚯 🚱 🚷 📵 🔞"),
    ("flags", 55, ["flag", "country-flag"], ""),
]

# Rows that the rest of the program and its users rely on: place, character, keywords.
FIXED_ROWS = [
    ("smileys", 1, "😀", "grinning face happy"),
    ("smileys", 114, "❤️", "red heart love"),
    ("smileys", 124, "❤️‍🔥", "heart fire"),
    ("smileys", 131, "💝", "heart ribbon gift"),
    ("animals", 9, "🐻‍❄️", "polar bear"),
    ("travel", 2, "✈️", "airplane"),
    ("symbols", 1, "❤️", "red heart love"),
    ("symbols", 41, "🎱", "pool billiard 8ball"),
    ("symbols", 42, "🪀", "yo-yo"),
    ("flags", 6, "🏳️‍🌈", "rainbow flag pride"),
    ("flags", 55, "🇨🇱", "chile flag"),
]

# The red heart stands first among the symbols too; no other character may repeat.
REPEATED = {"❤️"}


def gendered_variant(character):
    """A man or woman form of a person emoji whose neutral form is listed too."""
    if "\u2640" in character or "\u2642" in character:
        return True
    return "\u200d" in character and character[0] in "\U0001F468\U0001F469"


def read_emoji_test():
    """Fully qualified emoji without skin tones, per subgroup, in Unicode order."""
    subgroups = {}
    subgroup = None
    line_form = re.compile(r"^([0-9A-F ]+?)\s*;\s*fully-qualified\s*#\s*\S+\s+E(\d+\.\d+)\s")
    for line in EMOJI_TEST.read_text(encoding="utf-8").splitlines():
        if line.startswith("# subgroup:"):
            subgroup = line.split(":", 1)[1].strip()
            subgroups.setdefault(subgroup, [])
            continue
        match = line_form.match(line)
        if not match:
            continue
        points = [int(code, 16) for code in match.group(1).split()]
        if any(0x1F3FB <= point <= 0x1F3FF for point in points):
            continue
        if float(match.group(2)) > NEWEST_EMOJI_VERSION:
            continue
        subgroups[subgroup].append("".join(map(chr, points)))
    return subgroups


def read_annotations():
    """CLDR name and keyword phrases per emoji, keyed without variation selectors."""
    names, phrases = {}, {}
    for path in ANNOTATIONS:
        for node in ElementTree.parse(path).getroot().iter("annotation"):
            key = node.get("cp").replace("\ufe0f", "")
            if node.get("type") == "tts":
                names.setdefault(key, node.text)
            else:
                phrases.setdefault(key, [part.strip() for part in node.text.split("|")])
    return names, phrases


def plain_word(word):
    """Lower-case letters, digits and hyphens only, accents dropped ("piñata" is "pinata")."""
    decomposed = unicodedata.normalize("NFKD", word.lower())
    kept = "".join(c for c in decomposed if c.isascii() and (c.isalnum() or c == "-"))
    return kept.strip("-")


def keywords_for(character, names, phrases):
    key = character.replace("\ufe0f", "")
    if key not in names:
        sys.exit(f"no CLDR name for {character} ({' '.join(f'{ord(c):04X}' for c in character)})")
    name = names[key]
    if name.startswith("flag: "):
        # A flag is found by its country and by "flag", however long the country's name.
        country = pick_words(name[len("flag: "):].split(), MAX_WORDS - 1, MAX_KEYWORD_LENGTH - 5)
        return " ".join(country + ["flag"])
    words = pick_words(name.split() + [word for phrase in phrases.get(key, []) for word in phrase.split()],
                       MAX_WORDS, MAX_KEYWORD_LENGTH)
    if not words:
        sys.exit(f"no keywords for {character}")
    return " ".join(words)


def pick_words(candidates, max_words, max_length):
    words = []
    for candidate in candidates:
        word = plain_word(candidate)
        if not word or word in FILLER_WORDS or word in words:
            continue
        if len(" ".join(words + [word])) > max_length:
            continue
        words.append(word)
        if len(words) == max_words:
            break
    return words


def build_categories(subgroups, names, phrases):
    fixed_keywords = {character: keywords for _, _, character, keywords in FIXED_ROWS}
    used = set()
    table = []
    for category, size, sources, left_out in CATEGORIES:
        skipped = set(left_out.split())
        characters = []
        for source in sources:
            members = subgroups[source] if source in subgroups else source.split()
            for character in members:
                if character in skipped or character in characters or gendered_variant(character):
                    continue
                if character in used and character not in REPEATED:
                    continue
                characters.append(character)
        if len(characters) < size:
            sys.exit(f"{category}: only {len(characters)} emoji for {size} places")
        characters = characters[:size]
        used.update(characters)
        rows = [(c, fixed_keywords.get(c) or keywords_for(c, names, phrases)) for c in characters]
        table.append((category, rows))
    return table


def check(table):
    rows_of = dict(table)
    for category, place, character, keywords in FIXED_ROWS:
        found = rows_of[category][place - 1]
        if found != (character, keywords):
            sys.exit(f"{category} {place} is {found}, expected {(character, keywords)}")
    seen = {}
    for category, rows in table:
        for character, keywords in rows:
            if character in seen and character not in REPEATED:
                sys.exit(f"{character} is in {seen[character]} and {category}")
            seen[character] = category
            words = keywords.split(" ")
            if not 1 <= len(words) <= MAX_WORDS or len(keywords) > MAX_KEYWORD_LENGTH:
                sys.exit(f"keywords of {character} out of bounds: {keywords!r}")
            if not all(re.fullmatch(r"[a-z0-9-]+", word) for word in words):
                sys.exit(f"keywords of {character} not plain lower case: {keywords!r}")


def cpp_literal(text):
    return '"' + "".join(c if c.isascii() and c.isprintable() and c not in '"\\' else
                         (f"\\u{ord(c):04X}" if ord(c) <= 0xFFFF else f"\\U{ord(c):08X}")
                         for c in text) + '"'


def write(table, output):
    lines = [
        "// Generated by tools/emoji/generate_emoji_catalog.py from the Unicode emoji test data and",
        "// the English CLDR annotations. Change the script and run it again; do not edit by hand.",
        '#include "Utilities/EmojiCatalog.h"',
        "",
        "namespace {",
        "",
        "struct Row {",
        "    const char* character;",
        "    const char* keywords;",
        "};",
        "",
    ]
    for category, rows in table:
        lines.append(f"constexpr Row {category}[] = {{")
        for character, keywords in rows:
            lines.append(f"    {{{cpp_literal(character)}, {cpp_literal(keywords)}}}, // {character}")
        lines.append("};")
        lines.append("")
    lines += [
        "template<qsizetype N>",
        "QList<EmojiEntry> entries(const Row (&rows)[N])",
        "{",
        "    QList<EmojiEntry> list;",
        "    list.reserve(N);",
        "    for (const Row& row : rows)",
        "        list.append({QString::fromUtf8(row.character), QString::fromLatin1(row.keywords)});",
        "    return list;",
        "}",
        "",
        "} // namespace",
        "",
        "QHash<QString, QList<EmojiEntry>> EmojiCatalog::makeData()",
        "{",
        "    return {",
    ]
    for category, _ in table:
        lines.append(f'        {{QStringLiteral("{category}"), entries({category})}},')
    lines += ["    };", "}", ""]
    output.write_text("\n".join(lines), encoding="utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", type=Path, default=OUTPUT)
    arguments = parser.parse_args()
    names, phrases = read_annotations()
    table = build_categories(read_emoji_test(), names, phrases)
    check(table)
    write(table, arguments.output)
    print(f"{sum(len(rows) for _, rows in table)} emoji written to {arguments.output}")


if __name__ == "__main__":
    main()
