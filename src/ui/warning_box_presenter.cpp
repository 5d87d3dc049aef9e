#include "ui/warning_box_presenter.h"

#include <QMessageBox>
#include <QWidget>

#include "ui/keyboard_focus.h"

namespace dravolin {

WarningBoxPresenter::WarningBoxPresenter(QWidget* window) : window_(window) {}

WarningBoxPresenter::~WarningBoxPresenter() {
    // Nobody is left to hear an answer; the boxes go with the link that raised them.
    auto open = std::move(open_);
    open_.clear();
    for (auto& [id, warning] : open) {
        if (warning.box) {
            warning.box->disconnect(this);
            delete warning.box.data();
        }
    }
}

void WarningBoxPresenter::presentWarning(std::uint64_t id, const std::string& caption,
                                         const std::string& text, std::function<void()> answered) {
    withdrawWarning(id);
    auto* box = new QMessageBox(QMessageBox::Critical, QString::fromStdString(caption),
                                QString::fromStdString(text), QMessageBox::Ok, window_);
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    open_[id] = OpenWarning{box, std::move(answered)};
    connect(box, &QMessageBox::finished, this, [this, id] { boxClosed(id); });
    box->show();
}

void WarningBoxPresenter::withdrawWarning(std::uint64_t id) {
    const auto found = open_.find(id);
    if (found == open_.end()) {
        return;
    }
    // Forget the warning first, so that closing its box does not count as an answer.
    QPointer<QMessageBox> box = found->second.box;
    open_.erase(found);
    if (box) {
        box->disconnect(this);
        box->hide();
        box->deleteLater();
    }
}

QMessageBox* WarningBoxPresenter::openBox(std::uint64_t id) const {
    const auto found = open_.find(id);
    return found == open_.end() ? nullptr : found->second.box.data();
}

void WarningBoxPresenter::boxClosed(std::uint64_t id) {
    const auto found = open_.find(id);
    if (found == open_.end()) {
        return;
    }
    std::function<void()> answered = std::move(found->second.answered);
    open_.erase(found);
    giveKeyboardBack(window_);
    if (answered) {
        answered();
    }
}

}  // namespace dravolin
