#pragma once
// The test client's dialog: connection settings, the request to build, the signature, the raw
// exchange and the meaning of the answer codes, over the core of testclient/.
//
// The dialog runs on the GUI thread. A send runs SenderThread on a thread of its own; each report
// travels to the GUI thread as its own copy through a queued call, and the send button stays
// disabled until the last report. Closing the dialog while a send runs lets the sender finish on its
// own; its later reports are dropped.
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "testclient/form.h"
#include "testclient/request_builder.h"
#include "testclient/return_codes.h"
#include "testclient/sender.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace tw {

// GBK text as a QString and back.
[[nodiscard]] QString QStringFromGbk(const std::string& gbk);
[[nodiscard]] std::string GbkFromQString(const QString& text);

class CTestTarnwickDlg : public QDialog {
  Q_OBJECT

 public:
  // Reads the settings record at settingsPath (used only when it is exactly 144 bytes) before the
  // controls are made; the save button writes it there.
  explicit CTestTarnwickDlg(std::string settingsPath, QWidget* parent = nullptr);
  ~CTestTarnwickDlg() override;

  // Messages of the buttons (refusals, "配置已保存:TestQuillon.ini") go to a message box unless a
  // handler is set (tests set one).
  void SetMessageHandler(std::function<void(const QString&)> handler) { messageHandler_ = std::move(handler); }

  // The controls, by their labels' names (for the keyboard rules and for tests).
  QLineEdit* hostEdit() const { return host_; }
  QLineEdit* portEdit() const { return port_; }
  QRadioButton* apiRadio(int type) const { return api_[type]; }
  QLineEdit* pathEdit() const { return path_; }
  QRadioButton* pageRadio(int code) const { return page_[code]; }
  QLineEdit* keyEdit() const { return key_; }
  QLineEdit* clientIdEdit() const { return clientId_; }
  QComboBox* requestCombo() const { return request_; }
  QPlainTextEdit* jsonEdit() const { return json_; }
  QLineEdit* md5Edit() const { return md5_; }
  QPlainTextEdit* messageEdit() const { return message_; }
  QLineEdit* frontEdit() const { return front_; }
  QLineEdit* backEdit() const { return back_; }
  QLineEdit* kindEdit() const { return kind_; }
  QLineEdit* destinationEdit() const { return destination_; }
  QLineEdit* idCardEdit() const { return idCard_; }
  QLineEdit* nameEdit() const { return name_; }
  QPushButton* exampleButton() const { return example_; }
  QPushButton* sendButton() const { return send_; }
  QPushButton* codesButton() const { return codes_; }
  QPushButton* saveButton() const { return save_; }
  QPushButton* getNoButton() const { return getNo_; }
  QPushButton* queryButton() const { return query_; }
  QPushButton* closeButton() const { return close_; }
  // The message output as the core writes it (GBK, CR LF).
  const std::string& messageText() const { return messageText_; }

 public slots:
  void OnJsonExample();
  void OnSendData();
  void OnShowCodes();
  void OnSaveSettings();
  void OnQuillonGetNo();
  void OnQuillonQuery();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Channel;

  void MakeControls();
  void ShowForm();
  // Reads the controls into form_ (the texts cut to their limits).
  void UpdateForm();
  void Refuse(const Refusal& refusal);
  void SetMessageText(std::string gbk);
  void AppendMessageText(const std::string& gbk);
  void OnSendProgress(const SendReport& report);
  QWidget* FieldWidget(FormField field) const;

  std::string settingsPath_;
  TestForm form_;
  std::optional<BuiltRequest> built_;
  CReturnCodeArray codes_table_ = CReturnCodeArray::Default();
  std::string messageText_;
  std::function<void(const QString&)> messageHandler_;
  std::shared_ptr<Channel> channel_;

  QLineEdit* host_ = nullptr;
  QLineEdit* port_ = nullptr;
  QRadioButton* api_[3] = {};
  QButtonGroup* apiGroup_ = nullptr;
  QLineEdit* path_ = nullptr;
  QRadioButton* page_[2] = {};
  QButtonGroup* pageGroup_ = nullptr;
  QLineEdit* key_ = nullptr;
  QLineEdit* clientId_ = nullptr;
  QComboBox* request_ = nullptr;
  QPlainTextEdit* json_ = nullptr;
  QLineEdit* md5_ = nullptr;
  QPlainTextEdit* message_ = nullptr;
  QLineEdit* front_ = nullptr;
  QLineEdit* back_ = nullptr;
  QLineEdit* kind_ = nullptr;
  QLineEdit* destination_ = nullptr;
  QLineEdit* idCard_ = nullptr;
  QLineEdit* name_ = nullptr;
  QPushButton* example_ = nullptr;
  QPushButton* send_ = nullptr;
  QPushButton* codes_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* getNo_ = nullptr;
  QPushButton* query_ = nullptr;
  QPushButton* treat_ = nullptr;
  QPushButton* close_ = nullptr;
};

// CTestTarnwickApp: the program started without arguments: the dialog over the settings file of
// the program folder. Returns the exit code.
class CTestTarnwickApp {
 public:
  int InitInstance(int argc, char** argv);
};

}  // namespace tw
