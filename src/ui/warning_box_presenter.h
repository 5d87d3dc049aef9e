#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "serial/warning_presenter.h"

class QMessageBox;
class QWidget;

namespace dravolin {

// The serial link's warnings as non-modal boxes over the main window, so that an exchange
// goes on while a warning is up. A box withdrawn by the link is closed without an answer.
class WarningBoxPresenter : public QObject, public WarningPresenter {
    Q_OBJECT

public:
    // The boxes are children of `window`, so that the window's own modal run does not
    // block them.
    explicit WarningBoxPresenter(QWidget* window);
    ~WarningBoxPresenter() override;

    void presentWarning(std::uint64_t id, const std::string& caption, const std::string& text,
                        std::function<void()> answered) override;
    void withdrawWarning(std::uint64_t id) override;

    // The box of a warning that is still up, or nullptr.
    QMessageBox* openBox(std::uint64_t id) const;

private:
    struct OpenWarning {
        QPointer<QMessageBox> box;
        std::function<void()> answered;
    };

    void boxClosed(std::uint64_t id);

    QWidget* window_;
    std::map<std::uint64_t, OpenWarning> open_;
};

}  // namespace dravolin
