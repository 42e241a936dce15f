#pragma once

#include "platform/observation/Binding.h"
#include "platform/values/Image.h"

#include <QWidget>

#include <optional>

class QPushButton;

namespace kestrova {

// The "Choose File…" button of the icon setting: asks for a PNG or HEIC file, reads it off the main thread
// (CustomIconImport) and writes the picture, 16 points high, to the binding; a file it cannot use leaves the
// binding alone and is explained in an alert. Main thread only.
class CustomIconPicker : public QWidget {
    Q_OBJECT

public:
    explicit CustomIconPicker(platform::Binding<std::optional<platform::Image>> icon,
                              QWidget *parent = nullptr);

    QPushButton *button() const { return m_button; }
    // Reads `path` as if it had been chosen (the panel's answer goes here).
    void importFile(const QString &path);
    bool isImporting() const { return m_isImporting; }

Q_SIGNALS:
    // An import ended: with the picture written to the binding, or refused (after the alert was shown).
    void importFinished(bool succeeded);

private:
    void chooseFile();

    platform::Binding<std::optional<platform::Image>> m_icon;
    QPushButton *m_button;
    bool m_isImporting = false;
};

} // namespace kestrova
