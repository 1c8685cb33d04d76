#include "PanelLayout.h"

#include "IniDocument.h"
#include "IniFile.h"

#include <algorithm>

namespace {

const QString FormSection = QStringLiteral("Form");
const QString DefaultCaption = QStringLiteral("Orvix Tapdeck3");
constexpr int DefaultWidth = 320;
constexpr int DefaultHeight = 240;

QString ButtonSection(int number) {
    return QStringLiteral("Button") + QString::number(number);
}

QString ClampedCaption(QString caption) {
    if (caption.size() <= MaxLayoutCaption)
        return caption;
    qsizetype length = MaxLayoutCaption;
    // Never half a surrogate pair, which no file encoding could write.
    if (caption[length - 1].isHighSurrogate())
        --length;
    // Trimmed as a load would trim it, so that a save and a load give it back unchanged.
    return TrimIniText(QStringView(caption).first(length)).toString();
}

void WriteButton(IniDocument& doc, int number, const PanelButton& button) {
    const QString section = ButtonSection(number);
    doc.writeString(section, QStringLiteral("Caption"), button.caption);
    doc.writeInteger(section, QStringLiteral("Top"), button.top);
    doc.writeInteger(section, QStringLiteral("Left"), button.left);
    doc.writeInteger(section, QStringLiteral("Width"), button.width);
    doc.writeInteger(section, QStringLiteral("Height"), button.height);
    doc.writeInteger(section, QStringLiteral("Motion"), button.motion);
    doc.writeInteger(section, QStringLiteral("ShortCut"), button.shortCut);
    doc.writeInteger(section, QStringLiteral("Color"), button.color);
    if (!button.pad.isEmpty())
        doc.writeString(section, QStringLiteral("Pad"), button.pad);
    if (button.repeat != 0)
        doc.writeInteger(section, QStringLiteral("Repeat"), button.repeat);
    if (button.release != -1)
        doc.writeInteger(section, QStringLiteral("Release"), button.release);
}

PanelButton ReadButton(const IniDocument& doc, int number) {
    const QString name = ButtonSection(number);
    const qsizetype section = doc.findSection(name);
    const PanelButton defaults;
    PanelButton button;
    button.caption = ClampedCaption(doc.readString(section, u"Caption", name));
    button.top = doc.readInteger(section, u"Top", defaults.top);
    button.left = doc.readInteger(section, u"Left", defaults.left);
    button.width = doc.readInteger(section, u"Width", defaults.width);
    button.height = doc.readInteger(section, u"Height", defaults.height);
    button.motion = doc.readInteger(section, u"Motion", defaults.motion);
    button.shortCut = doc.readInteger(section, u"ShortCut", defaults.shortCut);
    button.color = doc.readInteger(section, u"Color", defaults.color);
    button.pad = doc.readString(section, u"Pad", QString());
    button.repeat = ClampRepeatInterval(doc.readInteger(section, u"Repeat", 0));
    button.release = PlayNumberOrNone(doc.readInteger(section, u"Release", -1));
    button.fontColor = ContrastTextColor(button.color);
    return button;
}

} // namespace

void WriteLayoutDocument(IniDocument& doc, const PanelLayout& layout) {
    doc.clear();
    doc.writeInteger(FormSection, QStringLiteral("Comm"), layout.comm);
    doc.writeString(FormSection, QStringLiteral("Caption"), layout.caption);
    doc.writeInteger(FormSection, QStringLiteral("Top"), layout.top);
    doc.writeInteger(FormSection, QStringLiteral("Left"), layout.left);
    doc.writeInteger(FormSection, QStringLiteral("Width"), layout.width);
    doc.writeInteger(FormSection, QStringLiteral("Height"), layout.height);
    doc.writeInteger(FormSection, QStringLiteral("Color"), layout.color);
    doc.writeString(FormSection, QStringLiteral("BmpFile"), layout.backgroundFile);
    if (layout.stopKey != -1)
        doc.writeInteger(FormSection, QStringLiteral("StopKey"), layout.stopKey);
    if (!layout.stopPad.isEmpty())
        doc.writeString(FormSection, QStringLiteral("StopPad"), layout.stopPad);
    if (layout.stopPlay != -1)
        doc.writeInteger(FormSection, QStringLiteral("StopPlay"), layout.stopPlay);
    // Walk from the last component to the first: Button1 is the newest button.
    int counter = 0;
    for (auto it = layout.buttons.rbegin(); it != layout.buttons.rend(); ++it)
        WriteButton(doc, ++counter, *it);
    doc.writeInteger(FormSection, QStringLiteral("Button"), counter);
}

QString ButtonSectionsText(const std::vector<PanelButton>& buttons) {
    IniDocument doc;
    int counter = 0;
    for (auto it = buttons.rbegin(); it != buttons.rend(); ++it)
        WriteButton(doc, ++counter, *it);
    return doc.toText();
}

std::vector<PanelButton> ButtonsFromSectionsText(const QString& text) {
    const IniDocument doc = IniDocument::fromText(text);
    const qsizetype form = doc.findSection(FormSection);
    int count = 0;
    if (form >= 0) {
        count = std::clamp(doc.readInteger(form, u"Button", 0), 0, MaxLayoutButtons);
    } else {
        while (count < MaxLayoutButtons && doc.findSection(ButtonSection(count + 1)) >= 0)
            ++count;
    }
    std::vector<PanelButton> buttons;
    for (int number = count; number >= 1; --number) {
        if (doc.findSection(ButtonSection(number)) >= 0)
            buttons.push_back(ReadButton(doc, number));
    }
    return buttons;
}

int ClampRepeatInterval(int ms) {
    return ms == 0 ? 0 : std::clamp(ms, MinRepeatInterval, MaxRepeatInterval);
}

int PlayNumberOrNone(int number) {
    return number >= 0 && number <= MaxPlayNumber ? number : -1;
}

bool SaveLayout(const QString& fileName, const PanelLayout& layout, TFileResult* result,
                const std::function<void(IniDocument&)>& more) {
    std::optional<IniDocument> doc = OpenIniDocument(fileName, result);
    if (!doc)
        return false;
    WriteLayoutDocument(*doc, layout);
    if (more)
        more(*doc);
    const TFileResult written = WriteIniDocument(fileName, *doc);
    if (result)
        *result = written;
    return written.ok();
}

PanelLayout LayoutFromDocument(const IniDocument& doc, QSize screenSize) {
    PanelLayout layout;
    const qsizetype form = doc.findSection(FormSection);
    layout.caption = ClampedCaption(doc.readString(form, u"Caption", DefaultCaption));
    layout.width = doc.readInteger(form, u"Width", DefaultWidth);
    layout.height = doc.readInteger(form, u"Height", DefaultHeight);
    layout.top = doc.readInteger(form, u"Top", (screenSize.height() - DefaultHeight) / 2);
    layout.left = doc.readInteger(form, u"Left", (screenSize.width() - DefaultWidth) / 2);
    layout.color = doc.readInteger(form, u"Color", clBtnFace);
    layout.backgroundFile = doc.readString(form, u"BmpFile", QString());
    layout.stopKey = doc.readInteger(form, u"StopKey", -1);
    layout.stopPad = doc.readString(form, u"StopPad", QString());
    layout.stopPlay = PlayNumberOrNone(doc.readInteger(form, u"StopPlay", -1));
    // A corrupt count must not create an unbounded number of buttons.
    const int count = std::min(doc.readInteger(form, u"Button", 0), MaxLayoutButtons);
    layout.buttonCounter = count;
    if (count > 0)
        layout.buttons.reserve(static_cast<size_t>(count));
    for (int number = count; number >= 1; --number)
        layout.buttons.push_back(ReadButton(doc, number));
    return layout;
}

std::optional<PanelLayout> LoadLayout(const QString& fileName, QSize screenSize,
                                      TFileResult* result) {
    const std::optional<IniDocument> doc = OpenIniDocument(fileName, result);
    if (!doc)
        return std::nullopt;
    return LayoutFromDocument(*doc, screenSize);
}

std::optional<PanelLayout> OpenLayout(const QString& fileName, QSize screenSize,
                                      TFileResult* result) {
    TFileResult outcome;
    std::optional<PanelLayout> layout;
    if (const std::optional<IniDocument> doc = OpenIniDocument(fileName, &outcome)) {
        if (doc->findSection(FormSection) >= 0)
            layout = LayoutFromDocument(*doc, screenSize);
        else
            outcome = TFileResult::Failed(TFileResult::NotALayout, fileName, 0, QString());
    }
    if (result)
        *result = outcome;
    return layout;
}

std::optional<int> LoadPortChoice(const QString& fileName, TFileResult* result) {
    const std::optional<IniDocument> doc = OpenIniDocument(fileName, result);
    if (!doc)
        return std::nullopt;
    return doc->readInteger(FormSection, u"Comm", 0);
}
