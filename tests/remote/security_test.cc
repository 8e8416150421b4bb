// Tokens, roles and TLS: refused calls never reach the implementation.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

#include "runtime/local_provider.h"
#include "tests/remote/remote_test_util.h"

namespace Tarn {
namespace Remote {
namespace Testing {
namespace {

// A method object that counts its calls and answers each with the integer 1.
class CountingMethod final : public Provider::AsyncApiMethod {
 public:
  CountingMethod(std::string name, bool readsOnly, std::atomic<int>& calls)
      : name_(std::move(name)), readsOnly_(readsOnly), calls_(calls) {}
  const std::string& methodName() const override { return name_; }
  std::shared_ptr<const Core::MethodDefinition> definition(
      const std::shared_ptr<const Core::InterfaceIdentifier>&) const override {
    return nullptr;
  }
  Data::DataDefinitionPtr inputDefinition() const override { return nullptr; }
  Data::DataDefinitionPtr outputDefinition() const override { return nullptr; }
  Provider::DataDefinitionList errorDefinitions() override { return {}; }
  const Provider::DataDefinitionList& errorDefinitions() const override { return none_; }
  bool readsOnly() const override { return readsOnly_; }
  void Invoke(const DataValuePtr&, const std::shared_ptr<Core::AsyncActivation>&,
              const AsyncApiResultCb& resultCb) const override {
    ++calls_;
    resultCb(std::make_shared<MethodResult>(Data::IntegerValue::GetInstance(1), nullptr),
             Progress{});
  }

 private:
  std::string name_;
  bool readsOnly_;
  std::atomic<int>& calls_;
  Provider::DataDefinitionList none_;
};

constexpr char kService[] = "com.brantel.kov.vm.compute.cpus";

TEST(RemoteSecurityTest, TokensAndRolesDecideBeforeTheImplementation) {
  std::atomic<int> calls{0};
  auto provider = Core::LocalProvider::GetInstance();
  MessageList messages;
  ASSERT_TRUE(provider->Register(Provider::AsyncApiInterface::GetInstance(
                                     Core::InterfaceIdentifier::GetInstance(kService),
                                     {std::make_shared<CountingMethod>("get", true, calls),
                                      std::make_shared<CountingMethod>("update", false, calls)}),
                                 messages));
  ServerOptions options;
  options.tokens = {{TokenDigest("reader-token-3"), Role::kReader, "reader"},
                    {TokenDigest("operator-token-7"), Role::kOperator, "operator"}};
  options.readsOnly = ReadsOnlyOf(provider);
  auto server = StartServer(provider, options);

  const struct {
    const char* token;
    const char* method;
    const char* error;  // null: the implementation answers
  } cases[] = {
      {"", "get", "com.brantel.tarn.std.errors.unauthenticated"},
      {"not-a-token", "get", "com.brantel.tarn.std.errors.unauthenticated"},
      {"reader-token-3x", "get", "com.brantel.tarn.std.errors.unauthenticated"},
      {"reader-token-3", "update", "com.brantel.tarn.std.errors.unauthorized"},
      {"reader-token-3", "nonexistent", "com.brantel.tarn.std.errors.unauthorized"},
      {"reader-token-3", "get", nullptr},
      {"operator-token-7", "update", nullptr},
  };
  int allowed = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.token) + " " + c.method);
    ClientOptions clientOptions;
    clientOptions.token = c.token;
    auto client = Connect(server->port(), clientOptions);
    Answers answers;
    client->Invoke(Method(kService, c.method), Data::VoidValue::GetInstance(), nullptr,
                   answers.Callback());
    auto final = answers.Final();
    ASSERT_TRUE(final);
    if (c.error) {
      EXPECT_EQ(ErrorText(final).find(c.error), 0u) << ErrorText(final);
    } else {
      EXPECT_TRUE(final->success()) << ErrorText(final);
      ++allowed;
    }
    EXPECT_EQ(calls, allowed);
  }
  // Without a predicate a reader may call nothing.
  options.readsOnly = nullptr;
  auto strict = StartServer(provider, options);
  ClientOptions reader;
  reader.token = "reader-token-3";
  auto client = Connect(strict->port(), reader);
  Answers answers;
  client->Invoke(Method(kService, "get"), Data::VoidValue::GetInstance(), nullptr,
                 answers.Callback());
  EXPECT_EQ(ErrorText(answers.Final()).find("com.brantel.tarn.std.errors.unauthorized"), 0u);
  EXPECT_EQ(calls, allowed);
}

TEST(RemoteSecurityTest, TokenDigestsAreSha256AndParsedStrictly) {
  Sha256Digest parsed;
  MessageList messages;
  // The SHA-256 of the empty text.
  ASSERT_TRUE(ParseTokenDigest("E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855",
                               parsed, messages));
  EXPECT_EQ(parsed, TokenDigest(""));
  for (const char* bad :
       {"", "e3b0", "g3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b85500"}) {
    EXPECT_FALSE(ParseTokenDigest(bad, parsed, messages)) << bad;
  }
  EXPECT_EQ(messages.size(), 4u);
  EXPECT_EQ(parsed, TokenDigest(""));
}

#ifdef KOV_OPENSSL
// A CA, a server certificate it signed for 127.0.0.1, and a second CA that signed nothing, made
// with the openssl command in a fresh folder.
class Certificates {
 public:
  Certificates() {
    char pattern[] = "/tmp/kov-remote-tls-XXXXXX";
    dir_ = mkdtemp(pattern) ? pattern : "";
    const std::string o = KOV_OPENSSL;
    const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    std::ofstream(dir_ + "/ext") << "subjectAltName=IP:127.0.0.1\n";
    const std::string script =
        "cd '" + dir_ + "' && " + o + " req -x509" + key +
        " -keyout ca.key -out ca.pem -days 1 -subj /CN=kov-test-ca && " + o + " req" + key +
        " -keyout server.key -out server.csr -subj /CN=kov-test-host && " + o +
        " x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem "
        "-days 1 -extfile ext && " +
        o + " req -x509" + key + " -keyout other.key -out other.pem -days 1 -subj /CN=other-ca";
    ok_ = !dir_.empty() && std::system(("(" + script + ") >/dev/null 2>&1").c_str()) == 0;
  }
  ~Certificates() {
    if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  bool ok() const { return ok_; }
  std::string path(const char* name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
  bool ok_ = false;
};

TEST(RemoteSecurityTest, TlsConnectsOnlyWithTheRightCa) {
  Certificates certs;
  ASSERT_TRUE(certs.ok());
  ServerOptions options;
  options.certFile = certs.path("server.pem");
  options.keyFile = certs.path("server.key");
  auto server = StartServer(std::make_shared<EchoTarget>(), options);
  const struct {
    const char* ca;
    const char* cause;  // null: the call succeeds
  } cases[] = {
      {"ca.pem", nullptr},
      {"other.pem", "SSL"},
      {"", "does not use TLS"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ca);
    ClientOptions clientOptions;
    if (*c.ca) clientOptions.caFile = certs.path(c.ca);
    clientOptions.deadline = std::chrono::seconds(5);
    auto client = Connect(server->port(), clientOptions);
    Answers answers;
    client->Invoke(Method(kService, "get"), Data::StringValue::GetInstance("web-1"), nullptr,
                   answers.Callback());
    auto final = answers.Final();
    ASSERT_TRUE(final);
    if (!c.cause) {
      EXPECT_TRUE(final->success()) << ErrorText(final);
    } else {
      EXPECT_EQ(ErrorText(final).find("com.brantel.tarn.std.errors.service_unavailable"), 0u);
      EXPECT_NE(ErrorText(final).find(c.cause), std::string::npos) << ErrorText(final);
    }
  }
}
#endif

}  // namespace
}  // namespace Testing
}  // namespace Remote
}  // namespace Tarn
