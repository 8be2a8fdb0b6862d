#pragma once
// A window's place kept in a section of "tarn.ini": put back when the
// window is first shown, written whenever it is hidden (a modal window when
// it ends) and when the program ends with the window still open.
#include <QObject>

#include <string>

class QWidget;

namespace tarn {

class TInfoModule;

class TFormPlacement : public QObject {
public:
    TFormPlacement(QWidget& window, TInfoModule& info, std::string section);

    // The window where the section says (as it is when the section is missing).
    void Restore();
    // The window's place into the section; a failed write throws.
    void Save();
    const std::string& Section() const { return SectionName; }
    // The placement of a window, when it has one.
    static TFormPlacement* Of(const QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& Window;
    TInfoModule& Info;
    std::string SectionName;
    bool Restored = false;
};

} // namespace tarn
