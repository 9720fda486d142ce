#include "gui/Cp1252Text.h"

#include "platform/Cp1252.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QToolTip>
#include <QValidator>

namespace {

class Cp1252Validator : public QValidator {
public:
    explicit Cp1252Validator(QObject* parent) : QValidator(parent) {}

    State validate(QString& input, int&) const override {
        const Cp1252Encoding encoded = Utf8ToCp1252(input.toStdString());
        if (encoded.refused.empty()) {
            lastRefused = 0;
            return Acceptable;
        }
        lastRefused = encoded.refused.front();
        return Invalid;
    }

    char32_t LastRefused() const { return lastRefused; }

private:
    mutable char32_t lastRefused = 0;
};

} // namespace

QString FromCp1252(const std::string& bytes) {
    return QString::fromStdString(Cp1252ToUtf8(bytes));
}

std::string ToCp1252(const QString& text) {
    std::string bytes;
    for (char32_t c : text.toStdU32String())
        if (const std::optional<unsigned char> byte = Cp1252Byte(c))
            bytes += char(*byte);
    return bytes;
}

QString Cp1252RefusalText(char32_t character) {
    const QString shown = QString::fromUcs4(&character, 1);
    return QCoreApplication::translate("Cp1252Text",
                                       "“%1” cannot be stored: names and texts are kept "
                                       "in the Windows-1252 character set.")
        .arg(shown);
}

void AcceptOnlyCp1252(QLineEdit* box) {
    auto* validator = new Cp1252Validator(box);
    box->setValidator(validator);
    QObject::connect(box, &QLineEdit::inputRejected, box, [box, validator] {
        // A box that is full rejects input too; only a refused character gets the message.
        if (validator->LastRefused() == 0)
            return;
        QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())),
                           Cp1252RefusalText(validator->LastRefused()), box);
    });
}
