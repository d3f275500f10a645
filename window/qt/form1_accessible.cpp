#include "window/qt/form1_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWindow>
#include <array>
#include <cstring>
#include <vector>

#include "display/colors.h"
#include "window/box_words.h"
#include "window/form_layout.h"
#include "window/qt/color_word.h"
#include "window/qt/form1.h"

namespace zapwit {
namespace {

// One printed line: a notification whose name and text are the line. It
// is no QObject, so the frame's interface owns it (through Qt's cache).
class LineAccessible final : public QAccessibleInterface,
                             public QAccessibleTextInterface {
 public:
  LineAccessible(Form1* form, int row) : form_(form), row_(row) {}

  bool isValid() const override {
    return form_ != nullptr &&
           row_ < static_cast<int>(form_->VisibleLines().size());
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return form_ != nullptr ? form_->windowHandle() : nullptr;
  }
  QAccessibleInterface* parent() const override {
    return form_ != nullptr ? QAccessible::queryAccessibleInterface(form_.data())
                            : nullptr;
  }
  QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
  QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override {
    return nullptr;
  }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface* /*child*/) const override {
    return -1;
  }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? Line() : QString();
  }
  void setText(QAccessible::Text /*t*/, const QString& /*text*/) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect local = form_->LineRect(row_);
    return {form_->mapToGlobal(local.topLeft()), local.size()};
  }
  QAccessible::Role role() const override { return QAccessible::Notification; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.readOnly = true;
    state.invisible = form_ == nullptr || !form_->isVisible();
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) {
      return static_cast<QAccessibleTextInterface*>(this);
    }
    return nullptr;
  }

  // The line as read-only text with no caret and no selection.
  void selection(int /*index*/, int* start, int* end) const override {
    *start = 0;
    *end = 0;
  }
  int selectionCount() const override { return 0; }
  void addSelection(int /*start*/, int /*end*/) override {}
  void removeSelection(int /*index*/) override {}
  void setSelection(int /*index*/, int /*start*/, int /*end*/) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int /*position*/) override {}
  QString text(int start, int end) const override {
    return Line().mid(start, end - start);
  }
  int characterCount() const override {
    return static_cast<int>(Line().size());
  }
  QRect characterRect(int /*offset*/) const override { return {}; }
  int offsetAtPoint(const QPoint& /*point*/) const override { return -1; }
  void scrollToSubstring(int /*start*/, int /*end*/) override {}
  QString attributes(int /*offset*/, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return {};
  }

 private:
  QString Line() const {
    if (!isValid()) return {};
    return QString::fromStdString(
        form_->VisibleLines()[static_cast<std::size_t>(row_)]);
  }

  QPointer<Form1> form_;
  int row_;
};

// The form: a frame, its widgets first, then its printed lines.
class FormAccessible final : public QAccessibleWidget {
 public:
  explicit FormAccessible(Form1* form)
      : QAccessibleWidget(form, QAccessible::Window), form_(form) {}
  ~FormAccessible() override {
    // Qt's cache tolerates an id it has already let go of.
    for (const QAccessible::Id id : line_ids_) {
      QAccessible::deleteAccessibleInterface(id);
    }
  }
  FormAccessible(const FormAccessible&) = delete;
  FormAccessible& operator=(const FormAccessible&) = delete;
  FormAccessible(FormAccessible&&) = delete;
  FormAccessible& operator=(FormAccessible&&) = delete;

  int childCount() const override {
    return QAccessibleWidget::childCount() + Lines();
  }
  QAccessibleInterface* child(int index) const override {
    const int widgets = QAccessibleWidget::childCount();
    if (index < widgets) return QAccessibleWidget::child(index);
    return Line(index - widgets);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (std::size_t row = 0; row < line_ids_.size(); ++row) {
      if (QAccessible::accessibleInterface(line_ids_[row]) == child) {
        return QAccessibleWidget::childCount() + static_cast<int>(row);
      }
    }
    return QAccessibleWidget::indexOfChild(child);
  }

  // Line `row`'s interface, made and registered the first time it is
  // asked for; nothing for a row the window does not show.
  QAccessibleInterface* Line(int row) const {
    if (row < 0 || row >= Lines()) return nullptr;
    while (static_cast<int>(line_ids_.size()) <= row) {
      const int next = static_cast<int>(line_ids_.size());
      // Qt's cache owns what it registers, and deletes it with the id.
      // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
      line_ids_.push_back(QAccessible::registerAccessibleInterface(
          new LineAccessible(form_, next)));
    }
    return QAccessible::accessibleInterface(
        line_ids_[static_cast<std::size_t>(row)]);
  }

 private:
  int Lines() const {
    return static_cast<int>(form_->VisibleLines().size());
  }

  Form1* form_;
  mutable std::vector<QAccessible::Id> line_ids_;
};

// BOX: named "BOX", described by its colour and caption, which it reads
// when asked, so nothing is added to a tick.
class BoxAccessible final : public QAccessibleWidget {
 public:
  explicit BoxAccessible(QLabel* box)
      : QAccessibleWidget(box, QAccessible::StaticText), box_(box) {}

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name:
        return QString::fromLatin1(kBox.name);
      case QAccessible::Description:
        return QString::fromStdString(BoxDescription(
            Color(), box_->text().toStdString()));
      default:
        return QAccessibleWidget::text(t);
    }
  }

 private:
  // The colour word whose colour BOX is painted in.
  ColorWord Color() const {
    const QColor shown = box_->palette().color(QPalette::Window);
    const QPalette& form = box_->parentWidget()->palette();
    for (const ColorWord word : {kRed, kYellow, kGreen, kButtonFace}) {
      if (ToQColor(word, form) == shown) return word;
    }
    return kButtonFace;
  }

  QLabel* box_;
};

QAccessibleInterface* Factory(const QString& class_name, QObject* object) {
  if (class_name == QLatin1String(Form1::staticMetaObject.className())) {
    return new FormAccessible(static_cast<Form1*>(object));
  }
  if (class_name == QLatin1String("QLabel") &&
      object->objectName() == QLatin1String(kBox.name) &&
      qobject_cast<Form1*>(object->parent()) != nullptr) {
    return new BoxAccessible(static_cast<QLabel*>(object));
  }
  return nullptr;
}

}  // namespace

void InstallFormAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&Factory);
    return true;
  }();
  static_cast<void>(installed);
}

void AnnounceLine(Form1& form, int row) {
  if (!QAccessible::isActive()) return;
  auto* frame = dynamic_cast<FormAccessible*>(
      QAccessible::queryAccessibleInterface(&form));
  if (frame == nullptr) return;
  QAccessibleInterface* line = frame->Line(row);
  if (line == nullptr) return;
  QAccessibleEvent created(line, QAccessible::ObjectCreated);
  QAccessible::updateAccessibility(&created);
  QAccessibleEvent shown(line, QAccessible::ObjectShow);
  QAccessible::updateAccessibility(&shown);
}

}  // namespace zapwit
