// The Qt dialog under the offscreen platform, driven with QTest: defaults and settings, the path of
// each API type, colours, keyboard rules, the buttons' outputs, and a send to the fake server during
// which the dialog keeps answering.

#include "testclient/dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testclient/settings.h"
#include "tests/testclient/fake_server.h"
#include "tests/testclient/settings_bytes.h"
#include "util/md5.h"

namespace {

using tw::CTestTarnwickDlg;
using tw::QStringFromGbk;

QApplication& App() {
  static int argc = 1;
  static char name[] = "dialog_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

QString Gbk(const char* gbk) { return QStringFromGbk(gbk); }

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    setenv("TARNWICK_TESTCLIENT_TIME", "1700000000", 1);
    char tmpl[] = "/tmp/tw-testclient-dlg.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    settings_ = dir_ + "/TestQuillon.ini";
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // A shown, active dialog whose messages are gathered instead of boxed.
  std::unique_ptr<CTestTarnwickDlg> Open() {
    auto dlg = std::make_unique<CTestTarnwickDlg>(settings_);
    dlg->SetMessageHandler([this](const QString& text) { messages_.push_back(text); });
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    return dlg;
  }

  std::string dir_;
  std::string settings_;
  std::vector<QString> messages_;
};

TEST_F(DialogTest, StartsWithTheDefaultsAndShowsEachApiTypesPath) {
  auto dlg = Open();
  EXPECT_EQ(dlg->windowTitle(), Gbk("Tarnwick (DoApp)接口测试程序"));
  EXPECT_EQ(dlg->hostEdit()->text(), "localhost");
  EXPECT_EQ(dlg->portEdit()->text(), "80");
  EXPECT_TRUE(dlg->apiRadio(2)->isChecked());
  EXPECT_EQ(dlg->apiRadio(0)->text(), Gbk("名值对(N=V))POST"));
  EXPECT_TRUE(dlg->pageRadio(0)->isChecked());
  EXPECT_EQ(dlg->keyEdit()->text(), "qrst5821LMN");
  EXPECT_EQ(dlg->clientIdEdit()->text(), "0");
  EXPECT_EQ(dlg->requestCombo()->currentText(), "TimeStamp");
  EXPECT_EQ(dlg->kindEdit()->text(), Gbk("EMS国际"));
  EXPECT_EQ(dlg->destinationEdit()->text(), Gbk("美国"));
  EXPECT_EQ(dlg->hostEdit()->maxLength(), 62);
  EXPECT_EQ(dlg->kindEdit()->maxLength(), 15);
  EXPECT_TRUE(dlg->pathEdit()->isReadOnly());
  EXPECT_TRUE(dlg->md5Edit()->isReadOnly());

  struct Case {
    int type;
    const char* path;
  } cases[] = {{0, "/cgi-bin/Tarnwick.dll"}, {1, "/cgi-bin/Tarnwick.dll?DoApp"}, {2, "/cgi-bin/Tarnwick.dll?DoApp"}};
  EXPECT_EQ(dlg->pathEdit()->text(), cases[2].path);
  for (const Case& c : cases) {
    QTest::mouseClick(dlg->apiRadio(c.type), Qt::LeftButton);
    EXPECT_EQ(dlg->pathEdit()->text(), c.path);
  }

  // Red on light green for the path and signature, blue-green for the message output.
  for (QWidget* w : {static_cast<QWidget*>(dlg->pathEdit()), static_cast<QWidget*>(dlg->md5Edit())}) {
    EXPECT_EQ(w->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(w->palette().color(QPalette::Base), QColor(240, 255, 240));
  }
  EXPECT_EQ(dlg->messageEdit()->palette().color(QPalette::Text), QColor(0, 102, 153));
  EXPECT_EQ(dlg->messageEdit()->palette().color(QPalette::Base), QColor(240, 255, 240));
}

TEST_F(DialogTest, ReadsTheSettingsRecordOnlyAtItsSizeAndSavesIt) {
  tw::TestForm stored;
  stored.host = "srv.example";
  stored.port = 8080;
  stored.apiType = 0;
  stored.clientId = 910002;
  stored.pageCode = 1;
  stored.key = "RdKey";
  ASSERT_TRUE(tw::SaveSettingsFile(settings_, stored));
  {
    auto dlg = Open();
    EXPECT_EQ(dlg->hostEdit()->text(), "srv.example");
    EXPECT_EQ(dlg->portEdit()->text(), "8080");
    EXPECT_TRUE(dlg->apiRadio(0)->isChecked());
    EXPECT_EQ(dlg->pathEdit()->text(), "/cgi-bin/Tarnwick.dll");
    EXPECT_TRUE(dlg->pageRadio(1)->isChecked());
    EXPECT_EQ(dlg->clientIdEdit()->text(), "910002");
    EXPECT_EQ(dlg->keyEdit()->text(), "RdKey");

    // The save button writes what the controls hold.
    dlg->hostEdit()->setText("other.example");
    QTest::mouseClick(dlg->apiRadio(1), Qt::LeftButton);
    QTest::mouseClick(dlg->saveButton(), Qt::LeftButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], Gbk("配置已保存:TestQuillon.ini"));
    tw::TestForm back;
    ASSERT_TRUE(tw::LoadSettingsFile(settings_, back));
    EXPECT_EQ(back.host, "other.example");
    EXPECT_EQ(back.apiType, 1);
    EXPECT_EQ(back.clientId, 910002);
  }
  // One byte more and the file is not a settings record.
  FILE* f = std::fopen(settings_.c_str(), "ab");
  std::fputc('x', f);
  std::fclose(f);
  auto dlg = Open();
  EXPECT_EQ(dlg->hostEdit()->text(), "localhost");
  EXPECT_TRUE(dlg->apiRadio(2)->isChecked());
}

TEST_F(DialogTest, SettingsTextsOf64BytesAreUsedAs63AndTypingKeepsItsLimit) {
  const std::string h63(63, 'h'), k63(63, 'k');
  struct Case {
    const char* what;
    std::string host, key;  // in the file; 64 bytes fill the field without a NUL
    std::string usedHost, usedKey;
  } cases[] = {
      {"63 key bytes", "srv", k63, "srv", k63},
      {"64 key bytes", "srv", std::string(64, 'k'), "srv", k63},
      {"63 host bytes", h63, "key", h63, "key"},
      {"64 host bytes", std::string(64, 'h'), "key", h63, "key"},
  };
  for (const Case& c : cases) {
    const std::string record = twtest::SettingsBytes(c.host, 80, 2, 1001, 0, c.key);
    FILE* f = std::fopen(settings_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(record.data(), 1, record.size(), f);
    std::fclose(f);

    auto dlg = Open();
    EXPECT_EQ(dlg->hostEdit()->text().toStdString(), c.usedHost) << c.what;
    EXPECT_EQ(dlg->keyEdit()->text().toStdString(), c.usedKey) << c.what;
    dlg->requestCombo()->setCurrentText("ClientInfo");
    QTest::mouseClick(dlg->exampleButton(), Qt::LeftButton);
    const std::string signedText = "10011700000000000" + c.usedKey;
    char md5[tw::kMd5HexSize];
    EXPECT_EQ(dlg->md5Edit()->text().toStdString(), tw::MD5Hex(signedText.data(), signedText.size(), md5)) << c.what;
    QTest::mouseClick(dlg->saveButton(), Qt::LeftButton);
    tw::TestForm saved;
    ASSERT_TRUE(tw::LoadSettingsFile(settings_, saved));
    EXPECT_EQ(saved.host, c.usedHost) << c.what;
    EXPECT_EQ(saved.key, c.usedKey) << c.what;
  }
  // Edited down to 62 bytes, the key takes no more typing.
  tw::TestForm stored;
  stored.key = k63;
  ASSERT_TRUE(tw::SaveSettingsFile(settings_, stored));
  auto dlg = Open();
  ASSERT_EQ(dlg->keyEdit()->text().size(), 63);
  dlg->keyEdit()->setFocus();
  dlg->keyEdit()->end(false);
  QTest::keyClick(dlg->keyEdit(), Qt::Key_Backspace);
  QTest::keyClicks(dlg->keyEdit(), "xy");
  EXPECT_EQ(dlg->keyEdit()->text().toStdString(), std::string(62, 'k'));
}

TEST_F(DialogTest, EnterAndArrowsMoveBetweenControlsEscapeDoesNotClose) {
  auto dlg = Open();
  dlg->hostEdit()->setFocus();
  ASSERT_TRUE(dlg->hostEdit()->hasFocus());
  QTest::keyClick(dlg->hostEdit(), Qt::Key_Return);
  EXPECT_TRUE(dlg->portEdit()->hasFocus());
  QTest::keyClick(dlg->portEdit(), Qt::Key_Down);
  EXPECT_FALSE(dlg->portEdit()->hasFocus());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
  EXPECT_TRUE(dlg->portEdit()->hasFocus());
  QTest::keyClick(dlg->portEdit(), Qt::Key_Up);
  EXPECT_TRUE(dlg->hostEdit()->hasFocus());

  // In the JSON data edit Enter is a line break.
  dlg->jsonEdit()->setFocus();
  QTest::keyClicks(dlg->jsonEdit(), "ab");
  QTest::keyClick(dlg->jsonEdit(), Qt::Key_Return);
  QTest::keyClicks(dlg->jsonEdit(), "cd");
  EXPECT_TRUE(dlg->jsonEdit()->hasFocus());
  EXPECT_EQ(dlg->jsonEdit()->toPlainText(), "ab\ncd");

  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  QTest::keyClick(dlg->hostEdit(), Qt::Key_Escape);
  EXPECT_TRUE(dlg->isVisible());
  QTest::mouseClick(dlg->closeButton(), Qt::LeftButton);
  EXPECT_FALSE(dlg->isVisible());
}

TEST_F(DialogTest, ButtonsShowTheirOutputAndRefusalsFocusTheirControl) {
  auto dlg = Open();
  QTest::mouseClick(dlg->codesButton(), Qt::LeftButton);
  EXPECT_EQ(dlg->messageText(), tw::CReturnCodeArray::Default().Explanation());
  EXPECT_TRUE(dlg->messageEdit()->toPlainText().startsWith(Gbk("失败返回码含义:\n-1 \t唯一性字段值重复，操作失败\n")));

  // A signed request without a client id.
  dlg->requestCombo()->setCurrentText("ClientInfo");
  QTest::mouseClick(dlg->exampleButton(), Qt::LeftButton);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_.back(), Gbk("客户ID必须大于零！"));
  EXPECT_TRUE(dlg->clientIdEdit()->hasFocus());

  dlg->clientIdEdit()->setText("1001");
  QTest::mouseClick(dlg->exampleButton(), Qt::LeftButton);
  ASSERT_EQ(messages_.size(), 1u);
  const std::string json = "{\"RequestName\":\"ClientInfo\",\"icID\":1001,\"TimeStamp\":1700000000000,"
                           "\"MD5\":\"47869a556eda394518c301235e95666f\"}";
  EXPECT_EQ(dlg->jsonEdit()->toPlainText().toStdString(), json);
  EXPECT_EQ(dlg->md5Edit()->text(), "47869a556eda394518c301235e95666f");
  EXPECT_EQ(dlg->messageText(), "[POST Data]:\r\n" + json);

  dlg->jsonEdit()->setPlainText(Gbk("EMS国际"));
  QTest::mouseClick(dlg->getNoButton(), Qt::LeftButton);
  EXPECT_NE(dlg->messageText().find("MfcISAPICommand=EmsApiGetNo&icid=1001&cemskind=EMS%B9%FA%BC%CA&timestamp="
                                    "1700000000123&md5=4e440f564d37637fd4d05bd8c0c25bd1"),
            std::string::npos)
      << dlg->messageText();
  dlg->jsonEdit()->setPlainText("TW2026");
  QTest::mouseClick(dlg->queryButton(), Qt::LeftButton);
  EXPECT_EQ(messages_.back(), Gbk("内单号错误(7 - 60字符)"));
  EXPECT_TRUE(dlg->jsonEdit()->hasFocus());

  dlg->hostEdit()->setText("");
  dlg->jsonEdit()->setPlainText(QString::fromStdString(json));
  QTest::mouseClick(dlg->sendButton(), Qt::LeftButton);
  EXPECT_EQ(messages_.back(), Gbk("服务器(Host)不能为空！"));
  EXPECT_TRUE(dlg->hostEdit()->hasFocus());
  EXPECT_TRUE(dlg->sendButton()->isEnabled());
}

TEST_F(DialogTest, SendsTheSampleAndStaysResponsiveUntilTheLastReport) {
  twtest::FakeHttpServer server;
  ASSERT_TRUE(server.Start("HTTP/1.1 200 OK\r\nContent-Length: 17\r\n\r\n{\"ReturnValue\":1}", /*hold=*/true));
  auto dlg = Open();
  dlg->hostEdit()->setText("127.0.0.1");
  dlg->portEdit()->setText(QString::number(server.port()));
  dlg->requestCombo()->setCurrentText("PreInputSet");
  dlg->clientIdEdit()->setText("1001");
  QTest::mouseClick(dlg->exampleButton(), Qt::LeftButton);
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  QTest::mouseClick(dlg->sendButton(), Qt::LeftButton);
  EXPECT_FALSE(dlg->sendButton()->isEnabled());

  // The reports so far arrive while the server holds its answer, and the dialog takes input.
  QTRY_VERIFY_WITH_TIMEOUT(dlg->messageText().find("接收=<<< 服务器响应头:") != std::string::npos, 5000);
  QTest::keyClicks(dlg->nameEdit(), "Li");
  EXPECT_EQ(dlg->nameEdit()->text(), "Li");
  EXPECT_FALSE(dlg->sendButton()->isEnabled());
  EXPECT_EQ(dlg->messageText().find("请求完成"), std::string::npos);

  server.Release();
  QTRY_VERIFY_WITH_TIMEOUT(dlg->sendButton()->isEnabled(), 5000);
  const std::string& text = dlg->messageText();
  EXPECT_EQ(text.rfind("\r\n连接=>>>127.0.0.1:" + std::to_string(server.port()) + "...\r\n发送=>>>请求头:\r\nPOST "
                       "/cgi-bin/Tarnwick.dll?DoApp HTTP/1.0\r\n",
                       0),
            0u)
      << text;
  const std::string tail = "\r\n请求完成。响应实体:\r\n{\"ReturnValue\":1}\r\n数据提交成功！";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  QString shown = QStringFromGbk(text);
  shown.replace("\r\n", "\n");
  EXPECT_EQ(dlg->messageEdit()->toPlainText(), shown);

  // What the server received is the sample of the JSON data edit.
  std::vector<std::string> got = server.Requests();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].substr(got[0].find("\r\n\r\n") + 4), dlg->jsonEdit()->toPlainText().toStdString());
  EXPECT_NE(got[0].find("\"cNum\":\"TS1700000000XX\"}]}"), std::string::npos);
}

TEST_F(DialogTest, ClosingDuringASendDropsTheLaterReports) {
  twtest::FakeHttpServer server;
  ASSERT_TRUE(server.Start("HTTP/1.1 200 OK\r\nContent-Length: 17\r\n\r\n{\"ReturnValue\":1}", /*hold=*/true));
  {
    auto dlg = Open();
    dlg->hostEdit()->setText("127.0.0.1");
    dlg->portEdit()->setText(QString::number(server.port()));
    QTest::mouseClick(dlg->exampleButton(), Qt::LeftButton);
    QTest::mouseClick(dlg->sendButton(), Qt::LeftButton);
    ASSERT_EQ(server.Requests().size(), 1u);
  }
  // The sender finishes after the dialog is gone; its last reports must find no dialog (a report
  // delivered to the deleted dialog would be a use after free, which the sanitizer run reports).
  server.Release();
  QTest::qWait(200);
  QApplication::processEvents();
  auto next = Open();
  EXPECT_TRUE(next->sendButton()->isEnabled());
  EXPECT_EQ(next->messageText(), "");
}

}  // namespace
