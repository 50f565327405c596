#pragma once

#include <QString>

#include <optional>

// One SVG icon the user brings in, from a file or from the clipboard: read within the size
// limit and cleaned by SvgSanitizer. Either it carries the new icon's name and SVG text, or
// the sentence that tells the user why it was refused. Reading and checking take a while for
// a large document, so callers run them away from the interface thread.
struct SvgUpload {
    static inline const QString pastedName = QStringLiteral("Pasted icon");

    QString name;
    QString svg; // the cleaned document
    QString error; // the refusal, empty when accepted

    bool accepted() const { return error.isEmpty(); }

    // Reads at most one byte past the size limit, whatever the file claims to hold.
    static SvgUpload fromFile(const QString& path);
    // `bytes`: the clipboard's SVG document or its plain text; nothing when it holds neither.
    static SvgUpload fromClipboard(const std::optional<QByteArray>& bytes);

    // The file's name without its last extension: "My Icon.final.svg" gives "My Icon.final".
    static QString nameForFile(const QString& path);
};
