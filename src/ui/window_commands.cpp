#include "ui/window_commands.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace dravolin {

namespace {

QAction* newCommand(const QString& name, const QString& label, QMenu* menu) {
    QAction* action = menu->addAction(label);
    action->setObjectName(name);
    return action;
}

}  // namespace

WindowCommands::WindowCommands(QWidget& window, const MessageCatalog& catalog)
    : QObject(&window), catalog_(catalog) {
    // Template labels; initialisation puts the catalogue's texts in their place.
    menuBar_ = new QMenuBar(&window);
    auto german = [](TextId id) {
        const std::string_view label = MessageCatalog::text(id, Language::German);
        return QString::fromUtf8(label.data(), qsizetype(label.size()));
    };
    const TextId titles[] = {TextId::MenuDataExchange, TextId::MenuConfiguration, TextId::MenuHelp};
    const QString names[] = {QStringLiteral("dataExchangeMenu"),
                             QStringLiteral("configurationMenu"), QStringLiteral("helpMenu")};
    for (int position = 0; position < 3; ++position) {
        menus_[position] = menuBar_->addMenu(german(titles[position]));
        menus_[position]->setObjectName(names[position]);
    }
    startAction_ = newCommand(QStringLiteral("start"), german(TextId::StartItem), menus_[0]);
    startAction_->setShortcut(QKeySequence(Qt::Key_F5));
    backupAction_ = newCommand(QStringLiteral("backup"), german(TextId::BackupItem), menus_[0]);
    menus_[0]->addSeparator();
    quitAction_ = newCommand(QStringLiteral("quit"), german(TextId::QuitItem), menus_[0]);
    quitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    configureAction_ =
        newCommand(QStringLiteral("configure"), german(TextId::ConfigureItem), menus_[1]);
    helpAction_ = newCommand(QStringLiteral("help"), german(TextId::HelpItem), menus_[2]);
    helpAction_->setShortcut(QKeySequence(Qt::Key_F1));
    infoAction_ = newCommand(QStringLiteral("info"), german(TextId::InfoItem), menus_[2]);
    menus_[2]->addSeparator();
    transferLogAction_ =
        newCommand(QStringLiteral("transferLog"), german(TextId::TransferLogItem), menus_[2]);
    traceAction_ = newCommand(QStringLiteral("trace"), german(TextId::TraceItem), menus_[2]);
    traceAction_->setCheckable(true);
    // The shortcuts belong to the window itself, so that they reach it from any control.
    window.addActions({startAction_, helpAction_, quitAction_});

    connect(startAction_, &QAction::triggered, this, &WindowCommands::startRequested);
    connect(backupAction_, &QAction::triggered, this, &WindowCommands::backupRequested);
    connect(quitAction_, &QAction::triggered, this, &WindowCommands::quitRequested);
    connect(configureAction_, &QAction::triggered, this, &WindowCommands::configureRequested);
    connect(helpAction_, &QAction::triggered, this, &WindowCommands::helpRequested);
    connect(infoAction_, &QAction::triggered, this, &WindowCommands::aboutRequested);
    connect(transferLogAction_, &QAction::triggered, this, &WindowCommands::transferLogRequested);
    connect(traceAction_, &QAction::toggled, this, &WindowCommands::traceSwitched);
}

QString WindowCommands::text(TextId id) const {
    return QString::fromStdString(catalog_.lookup(id));
}

void WindowCommands::relabel(const QString& traceItem) {
    menus_[0]->setTitle(text(TextId::MenuDataExchange));
    backupAction_->setText(text(TextId::BackupItem));
    quitAction_->setText(text(TextId::QuitItem));
    menus_[1]->setTitle(text(TextId::MenuConfiguration));
    configureAction_->setText(text(TextId::ConfigureItem));
    menus_[2]->setTitle(text(TextId::MenuHelp));
    helpAction_->setText(text(TextId::HelpItem));
    infoAction_->setText(text(TextId::InfoItem));
    transferLogAction_->setText(text(TextId::TransferLogItem));
    traceAction_->setText(traceItem);
    setStartItem(false);
}

void WindowCommands::setMenusEnabled(bool enabled) {
    for (QMenu* menu : menus_) {
        menu->menuAction()->setEnabled(enabled);
    }
    redrawMenuBar();
}

void WindowCommands::setStartItem(bool enabled) {
    startAction_->setText(text(TextId::StartItem));
    startAction_->setEnabled(enabled);
    redrawMenuBar();
}

void WindowCommands::redrawMenuBar() {
    menuBar_->update();
}

void WindowCommands::showTrace(bool on, const QString& traceItem) {
    const QSignalBlocker quiet(traceAction_);
    traceAction_->setChecked(on);
    traceAction_->setText(traceItem);
}

bool WindowCommands::takeKey(const QKeyEvent& key, bool inFunctionField, bool cancellable) {
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier) {
        return false;
    }
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // In the file list the list itself takes the name.
            if (inFunctionField && startAction_->isEnabled()) {
                emit startRequested();
            }
            return true;
        case Qt::Key_Escape:
            // Pressed once more after a cancel, Escape would otherwise end the program
            // without a question.
            if (cancellable) {
                emit cancelRequested();
            }
            return true;
        default:
            return false;
    }
}

}  // namespace dravolin
