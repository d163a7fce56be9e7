#include "testclient/dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>
#include <mutex>
#include <thread>

#include "testclient/quillon_url.h"
#include "testclient/settings.h"

namespace tw {

namespace {

// The request names offered by the combo box (any other name can be typed).
constexpr const char* kRequestNames[] = {
    "TimeStamp",     "EmsKindList", "ClientInfo", "PreInputSet", "PreInputDel",
    "PreInputData",  "PreInputList", "RecList",   "PreInputTotal", "QueryPrice",
    "FeeList",       "DoGetNo",     "DoIDCardPicSet",
};

const QColor kReadOnlyText(255, 0, 0);
const QColor kMessageText(0, 102, 153);
const QColor kLightGreen(240, 255, 240);

QString Gbk(const char* gbk) { return QStringFromGbk(gbk); }

void Colour(QWidget* w, const QColor& text, const QColor& background) {
  QPalette p = w->palette();
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Base, background);
  w->setPalette(p);
}

QLineEdit* Edit(int maxLength) {
  auto* e = new QLineEdit;
  e->setMaxLength(maxLength);
  return e;
}

// The typing limit holds again once a longer text given to the edit is edited down to it.
void KeepTypingLimit(QLineEdit* e, int maxLength) {
  QObject::connect(e, &QLineEdit::textEdited, e, [e, maxLength](const QString& text) {
    if (text.size() <= maxLength) {
      e->setMaxLength(maxLength);
    }
  });
}

// A text given to an edit is shown whole even when it is longer than typing allows (a host or key
// of 63 bytes from the settings file).
void ShowWhole(QLineEdit* e, const std::string& gbk, size_t maxLength) {
  const QString text = QStringFromGbk(gbk);
  e->setMaxLength(std::max(static_cast<int>(maxLength), static_cast<int>(text.size())));
  e->setText(text);
}

QPushButton* Button(const char* gbkLabel) {
  auto* b = new QPushButton(Gbk(gbkLabel));
  // Enter moves between controls; it never presses a button.
  b->setAutoDefault(false);
  b->setDefault(false);
  return b;
}

// The message output shows CR LF as line breaks.
QString ForDisplay(const std::string& gbk) {
  QString text = QStringFromGbk(gbk);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

}  // namespace

QString QStringFromGbk(const std::string& gbk) { return QString::fromStdString(GbkToUtf8String(gbk)); }

std::string GbkFromQString(const QString& text) { return Utf8ToGbkString(text.toStdString()); }

// The path from the sender thread to the dialog: cleared when the dialog goes away.
struct CTestTarnwickDlg::Channel {
  std::mutex mutex;
  CTestTarnwickDlg* dialog = nullptr;
};

CTestTarnwickDlg::CTestTarnwickDlg(std::string settingsPath, QWidget* parent)
    : QDialog(parent), settingsPath_(std::move(settingsPath)) {
  LoadSettingsFile(settingsPath_, form_);
  MakeControls();
  ShowForm();
}

CTestTarnwickDlg::~CTestTarnwickDlg() {
  if (channel_) {
    std::lock_guard<std::mutex> lock(channel_->mutex);
    channel_->dialog = nullptr;
  }
}

void CTestTarnwickDlg::MakeControls() {
  setWindowTitle(Gbk("Tarnwick (DoApp)接口测试程序"));
  auto* grid = new QGridLayout;
  int row = 0;
  auto label = [&](const char* text, int r, int c) { grid->addWidget(new QLabel(Gbk(text)), r, c); };

  host_ = Edit(static_cast<int>(kHostMax));
  KeepTypingLimit(host_, static_cast<int>(kHostMax));
  port_ = Edit(5);
  port_->setValidator(new QIntValidator(0, 65535, port_));
  label("服务器(Host):", row, 0);
  grid->addWidget(host_, row, 1);
  label("端口(Port):", row, 2);
  grid->addWidget(port_, row, 3);
  ++row;

  apiGroup_ = new QButtonGroup(this);
  const char* apiLabels[3] = {"名值对(N=V))POST", "标准接口(Std)POST", "原始数据(Original)POST"};
  auto* apiRow = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    api_[i] = new QRadioButton(Gbk(apiLabels[i]));
    apiGroup_->addButton(api_[i], i);
    apiRow->addWidget(api_[i]);
  }
  grid->addLayout(apiRow, row, 0, 1, 4);
  ++row;

  path_ = new QLineEdit;
  path_->setReadOnly(true);
  Colour(path_, kReadOnlyText, kLightGreen);
  label("接口(Action):", row, 0);
  grid->addWidget(path_, row, 1);
  pageGroup_ = new QButtonGroup(this);
  page_[kPageGbk] = new QRadioButton(QStringLiteral("GBK(GB2312)"));
  page_[kPageUtf8] = new QRadioButton(QStringLiteral("UTF-8"));
  auto* pageRow = new QHBoxLayout;
  for (int i = 0; i < 2; ++i) {
    pageGroup_->addButton(page_[i], i);
    pageRow->addWidget(page_[i]);
  }
  grid->addLayout(pageRow, row, 2, 1, 2);
  ++row;

  key_ = Edit(static_cast<int>(kKeyMax));
  KeepTypingLimit(key_, static_cast<int>(kKeyMax));
  clientId_ = new QLineEdit;
  clientId_->setValidator(new QIntValidator(clientId_));
  label("密钥(Key):", row, 0);
  grid->addWidget(key_, row, 1);
  label("客户ID(ICID):", row, 2);
  grid->addWidget(clientId_, row, 3);
  ++row;

  request_ = new QComboBox;
  request_->setEditable(true);
  request_->lineEdit()->setMaxLength(static_cast<int>(kRequestNameMax));
  for (const char* name : kRequestNames) {
    request_->addItem(QString::fromLatin1(name));
  }
  example_ = Button("JSON样例(Example)>>>");
  treat_ = Button("测试数据生成(Treat Data)");
  grid->addWidget(request_, row, 0, 1, 2);
  grid->addWidget(example_, row, 2);
  grid->addWidget(treat_, row, 3);
  ++row;

  kind_ = Edit(static_cast<int>(kKindMax));
  destination_ = Edit(static_cast<int>(kDestinationMax));
  label("快递类别:", row, 0);
  grid->addWidget(kind_, row, 1);
  label("目的地:", row, 2);
  grid->addWidget(destination_, row, 3);
  ++row;
  idCard_ = Edit(static_cast<int>(kIdCardNoMax));
  name_ = Edit(static_cast<int>(kNameMax));
  label("身份证号:", row, 0);
  grid->addWidget(idCard_, row, 1);
  label("姓名:", row, 2);
  grid->addWidget(name_, row, 3);
  ++row;

  front_ = Edit(static_cast<int>(kPicturePathMax));
  back_ = Edit(static_cast<int>(kPicturePathMax));
  auto* browseFront = Button("浏览...");
  auto* browseBack = Button("浏览...");
  label("身份证正面文件：", row, 0);
  grid->addWidget(front_, row, 1, 1, 2);
  grid->addWidget(browseFront, row, 3);
  ++row;
  label("身份证背面文件：", row, 0);
  grid->addWidget(back_, row, 1, 1, 2);
  grid->addWidget(browseBack, row, 3);
  ++row;

  json_ = new QPlainTextEdit;
  label("数据(JSON Data):", row, 0);
  ++row;
  const int jsonRow = row;
  grid->addWidget(json_, row, 0, 1, 4);
  ++row;

  md5_ = new QLineEdit;
  md5_->setReadOnly(true);
  Colour(md5_, kReadOnlyText, kLightGreen);
  label("MD5:", row, 0);
  grid->addWidget(md5_, row, 1, 1, 3);
  ++row;

  send_ = Button("测试数据提交(Send Data)");
  codes_ = Button("查看返回码含义");
  save_ = Button("保存以上配置");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(send_);
  buttons->addWidget(codes_);
  buttons->addWidget(save_);
  grid->addLayout(buttons, row, 0, 1, 4);
  ++row;
  getNo_ = Button("取单号>填写快递类别>>");
  query_ = Button("查转单号>填写内单号>>");
  close_ = Button("关闭程序（Close)");
  auto* more = new QHBoxLayout;
  more->addWidget(getNo_);
  more->addWidget(query_);
  more->addWidget(close_);
  grid->addLayout(more, row, 0, 1, 4);
  ++row;

  message_ = new QPlainTextEdit;
  message_->setReadOnly(true);
  Colour(message_, kMessageText, kLightGreen);
  label("信息输出(Message)↓↓", row, 0);
  ++row;
  grid->addWidget(message_, row, 0, 1, 4);
  grid->setRowStretch(row, 2);
  grid->setRowStretch(jsonRow, 1);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  grid->setColumnMinimumWidth(1, 250);
  grid->setColumnMinimumWidth(3, 250);
  setLayout(grid);
  resize(760, 820);

  connect(example_, &QPushButton::clicked, this, &CTestTarnwickDlg::OnJsonExample);
  connect(send_, &QPushButton::clicked, this, &CTestTarnwickDlg::OnSendData);
  connect(codes_, &QPushButton::clicked, this, &CTestTarnwickDlg::OnShowCodes);
  connect(save_, &QPushButton::clicked, this, &CTestTarnwickDlg::OnSaveSettings);
  connect(getNo_, &QPushButton::clicked, this, &CTestTarnwickDlg::OnQuillonGetNo);
  connect(query_, &QPushButton::clicked, this, &CTestTarnwickDlg::OnQuillonQuery);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  connect(apiGroup_, &QButtonGroup::idClicked, this,
          [this](int type) { path_->setText(QString::fromLatin1(RequestPath(type))); });
  auto browse = [this](QLineEdit* target) {
    QString file = QFileDialog::getOpenFileName(this, QString(), target->text(),
                                                Gbk("图片 (*.jpg *.gif *.bmp *.png)"));
    if (!file.isEmpty()) {
      target->setText(file);
    }
  };
  connect(browseFront, &QPushButton::clicked, this, [this, browse] { browse(front_); });
  connect(browseBack, &QPushButton::clicked, this, [this, browse] { browse(back_); });

  // Enter, Down and Up move between the controls everywhere but in the two multi-line edits.
  for (QWidget* w : findChildren<QWidget*>()) {
    if (w != json_ && w != message_ && w->focusPolicy() != Qt::NoFocus) {
      w->installEventFilter(this);
    }
  }
}

void CTestTarnwickDlg::ShowForm() {
  ShowWhole(host_, form_.host, kHostMax);
  port_->setText(QString::number(form_.port));
  api_[form_.apiType]->setChecked(true);
  path_->setText(QString::fromLatin1(RequestPath(form_.apiType)));
  page_[form_.pageCode]->setChecked(true);
  ShowWhole(key_, form_.key, kKeyMax);
  clientId_->setText(QString::number(form_.clientId));
  request_->setCurrentText(QStringFromGbk(form_.requestName));
  kind_->setText(QStringFromGbk(form_.kind));
  destination_->setText(QStringFromGbk(form_.destination));
}

void CTestTarnwickDlg::UpdateForm() {
  // A text left as the form gave it was not typed (a host or key of 63 bytes from the file stays whole).
  const TestForm shown = form_;
  form_.host = GbkFromQString(host_->text());
  form_.port = port_->text().toInt();
  form_.apiType = apiGroup_->checkedId() >= 0 ? apiGroup_->checkedId() : kApiOriginal;
  form_.pageCode = pageGroup_->checkedId() == kPageUtf8 ? kPageUtf8 : kPageGbk;
  form_.key = GbkFromQString(key_->text());
  form_.clientId = clientId_->text().toInt();
  form_.requestName = GbkFromQString(request_->currentText());
  form_.jsonData = GbkFromQString(json_->toPlainText());
  form_.frontPath = GbkFromQString(front_->text());
  form_.backPath = GbkFromQString(back_->text());
  form_.kind = GbkFromQString(kind_->text());
  form_.destination = GbkFromQString(destination_->text());
  form_.idCardNo = GbkFromQString(idCard_->text());
  form_.name = GbkFromQString(name_->text());
  ApplyLimits(form_, shown);
}

QWidget* CTestTarnwickDlg::FieldWidget(FormField field) const {
  switch (field) {
    case FormField::kHost:
      return host_;
    case FormField::kPort:
      return port_;
    case FormField::kKey:
      return key_;
    case FormField::kClientId:
      return clientId_;
    case FormField::kRequestName:
      return request_;
    case FormField::kJsonData:
      return json_;
    case FormField::kFrontPicture:
      return front_;
    case FormField::kBackPicture:
      return back_;
    case FormField::kNone:
      break;
  }
  return nullptr;
}

void CTestTarnwickDlg::Refuse(const Refusal& refusal) {
  if (QWidget* w = FieldWidget(refusal.field)) {
    w->setFocus();
  }
  QString text = QStringFromGbk(refusal.message);
  if (messageHandler_) {
    messageHandler_(text);
  } else {
    QMessageBox::warning(this, windowTitle(), text);
  }
}

void CTestTarnwickDlg::SetMessageText(std::string gbk) {
  messageText_ = std::move(gbk);
  message_->setPlainText(ForDisplay(messageText_));
}

void CTestTarnwickDlg::AppendMessageText(const std::string& gbk) {
  messageText_ += gbk;
  QTextCursor end = message_->textCursor();
  end.movePosition(QTextCursor::End);
  end.insertText(ForDisplay(gbk));
  message_->setTextCursor(end);
  message_->ensureCursorVisible();
}

void CTestTarnwickDlg::OnJsonExample() {
  UpdateForm();
  BuiltRequest built;
  Refusal refusal;
  if (!BuildSampleRequest(form_, TestClientTime(), &built, &refusal)) {
    Refuse(refusal);
    return;
  }
  json_->setPlainText(QStringFromGbk(built.readable));
  md5_->setText(QString::fromLatin1(built.md5.c_str()));
  SetMessageText(built.message);
  built_ = std::move(built);
}

void CTestTarnwickDlg::OnSendData() {
  UpdateForm();
  SendJob job;
  Refusal refusal;
  if (!PrepareSend(form_, built_ ? &*built_ : nullptr, &job, &refusal)) {
    Refuse(refusal);
    return;
  }
  SetMessageText(std::string());
  send_->setEnabled(false);
  // One channel per send: a report of an earlier send never reaches a later one.
  if (channel_) {
    std::lock_guard<std::mutex> lock(channel_->mutex);
    channel_->dialog = nullptr;
  }
  channel_ = std::make_shared<Channel>();
  channel_->dialog = this;
  std::thread([job = std::move(job), channel = channel_] {
    SenderThread(job, [&channel](const SendReport& report) {
      std::lock_guard<std::mutex> lock(channel->mutex);
      if (CTestTarnwickDlg* dialog = channel->dialog) {
        QMetaObject::invokeMethod(
            dialog, [dialog, report] { dialog->OnSendProgress(report); }, Qt::QueuedConnection);
      }
    });
  }).detach();
}

void CTestTarnwickDlg::OnSendProgress(const SendReport& report) {
  std::string piece;
  ReportEffect effect = AppendReport(report, codes_table_, &piece);
  AppendMessageText(piece);
  if (effect.beep != Beep::kNone) {
    // The platform has one beep; a failure sounds it twice, like the two falling tones.
    QApplication::beep();
    if (effect.beep == Beep::kFailure) {
      QApplication::beep();
    }
  }
  if (effect.enableSend) {
    send_->setEnabled(true);
  }
}

void CTestTarnwickDlg::OnShowCodes() { SetMessageText(codes_table_.Explanation()); }

void CTestTarnwickDlg::OnSaveSettings() {
  UpdateForm();
  if (!SaveSettingsFile(settingsPath_, form_)) {
    Refuse({std::string("配置保存失败:") + kSettingsFileName, FormField::kNone});
    return;
  }
  Refuse({std::string("配置已保存:") + kSettingsFileName, FormField::kNone});
}

void CTestTarnwickDlg::OnQuillonGetNo() {
  UpdateForm();
  std::string text;
  Refusal refusal;
  if (!BuildGetNoUrl(form_, TestClientTime(), &text, &refusal)) {
    Refuse(refusal);
    return;
  }
  SetMessageText(text);
}

void CTestTarnwickDlg::OnQuillonQuery() {
  UpdateForm();
  std::string text;
  Refusal refusal;
  if (!BuildQueryUrl(form_, &text, &refusal)) {
    Refuse(refusal);
    return;
  }
  SetMessageText(text);
}

bool CTestTarnwickDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Down:
        focusNextChild();
        return true;
      case Qt::Key_Up:
        focusPreviousChild();
        return true;
      default:
        break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CTestTarnwickDlg::keyPressEvent(QKeyEvent* event) {
  // Escape does not close the dialog.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

int CTestTarnwickApp::InitInstance(int argc, char** argv) {
  QApplication app(argc, argv);
  CTestTarnwickDlg dialog(ProgramFolder() + kSettingsFileName);
  dialog.exec();
  return 0;
}

int RunTestClientDialog(int argc, char** argv) {
  CTestTarnwickApp app;
  return app.InitInstance(argc, argv);
}

}  // namespace tw
