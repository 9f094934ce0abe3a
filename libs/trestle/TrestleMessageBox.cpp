#include "libs/trestle/TrestleMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace trestle {

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

std::string& DefaultCaption() {
    static std::string caption = "Sonvara";
    return caption;
}

StringResolver& Resolver() {
    static StringResolver resolver;
    return resolver;
}

// The answer of SONVARA_MESSAGE_BOX_ANSWER, or 0 when unset or not a number.
int EnvironmentAnswer() {
    const char* value = std::getenv("SONVARA_MESSAGE_BOX_ANSWER");
    return value ? std::atoi(value) : 0;
}

int ShowBox(const MessageBoxRequest& request) {
    if (Hook()) return Hook()(request);
    if (int answer = EnvironmentAnswer(); answer > 0) {
        std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
        return answer;
    }

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(request.caption));
    box.setText(QString::fromStdString(request.text));
    switch (request.type & 0xF0) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    int escapeResult = IDOK;
    switch (request.type & 0x0F) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        escapeResult = IDCANCEL;
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        escapeResult = IDCANCEL;
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        escapeResult = IDNO;
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Cancel:
        return IDCANCEL;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return escapeResult;
    }
}

} // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}

void SetDefaultCaption(const std::string& caption) {
    DefaultCaption() = caption;
}

void SetStringResolver(StringResolver resolver) {
    Resolver() = std::move(resolver);
}

int AfxSCMessageBox(const char* text, unsigned type, unsigned /*helpId*/) {
    return ShowBox({text ? text : "", DefaultCaption(), type});
}

namespace {

// A word below 0x10000 is a string id, as resource ids are; anything else is
// the address of the caller's own NUL-terminated text.
std::string WordText(std::intptr_t word) {
    if (word == 0) return {};
    if (IsStringId(word)) return Resolver() ? Resolver()(static_cast<std::uint32_t>(word)) : "";
    return reinterpret_cast<const char*>(word);
}

} // namespace

int ShowMessageBox(std::intptr_t text, std::intptr_t caption, std::intptr_t type,
                   std::intptr_t /*reserved1*/, std::intptr_t /*reserved2*/) {
    const std::string body = WordText(text);
    if (body.empty()) return 0;
    const std::string title = WordText(caption);
    return ShowBox({body, title.empty() ? DefaultCaption() : title, static_cast<unsigned>(type)});
}

} // namespace trestle
