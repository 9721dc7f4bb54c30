#include "fleet/alarms/alarm_senders.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#ifdef KAVREL_HAVE_CURL
#include <curl/curl.h>
#endif

namespace kavrel::fleet::alarms {
namespace {

constexpr int kTimeLimitSeconds = 30;

// exec:PROGRAM: run by /bin/sh -c, the JSON on its stdin; taken when it ends with status 0.
class ExecSender final : public Sender {
public:
    explicit ExecSender(std::string program) : program_(std::move(program)) {}
    std::string name() const override { return "exec:" + program_; }
    std::string send(const Outgoing& n) override {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::string("pipe: ") + std::strerror(errno);
        const pid_t pid = ::fork();
        if (pid < 0) {
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            return std::string("fork: ") + std::strerror(errno);
        }
        if (pid == 0) {
            ::dup2(pipeFds[0], 0);
            ::execl("/bin/sh", "sh", "-c", program_.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeFds[0]);
        // A program that does not read its input must not end this process by SIGPIPE.
        sigset_t pipeSignal, previous;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
        const std::string text = n.text.json + "\n";
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t w = ::write(pipeFds[1], text.data() + written, text.size() - written);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) break;
            written += static_cast<std::size_t>(w);
        }
        ::close(pipeFds[1]);
        timespec none{};
        while (sigtimedwait(&pipeSignal, nullptr, &none) > 0) {}
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        int status = 0;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeLimitSeconds);
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > limit) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return "program nie zakończył się w " + std::to_string(kTimeLimitSeconds) + " s";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
        if (WIFEXITED(status)) return "program zakończył się kodem " + std::to_string(WEXITSTATUS(status));
        return "program zakończony sygnałem " + std::to_string(WTERMSIG(status));
    }

private:
    std::string program_;
};

class MqttSender final : public Sender {
public:
    explicit MqttSender(std::function<void(const std::string&, const std::string&)> publish)
        : publish_(std::move(publish)) {}
    std::string name() const override { return "mqtt"; }
    // The publisher keeps its own ordered spool: handing over is all there is to do.
    std::string send(const Outgoing& n) override {
        for (const auto& m : n.text.mqtt) publish_(m.topic, m.payload);
        return "";
    }

private:
    std::function<void(const std::string&, const std::string&)> publish_;
};

#ifdef KAVREL_HAVE_CURL

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlGlobal() { curl_global_cleanup(); }
};

void curlOnce() { static CurlGlobal global; }

struct Upload {
    const std::string* text;
    std::size_t at = 0;
};

std::size_t readUpload(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto* u = static_cast<Upload*>(user);
    const std::size_t n = std::min(size * count, u->text->size() - u->at);
    std::memcpy(buffer, u->text->data() + u->at, n);
    u->at += n;
    return n;
}

// The operator's words for the failures seen most; libcurl's own for the rest.
std::string curlFailure(CURLcode rc) {
    static const std::pair<CURLcode, const char*> kWords[] = {
        {CURLE_COULDNT_CONNECT, "serwer nie przyjmuje połączeń"},
        {CURLE_COULDNT_RESOLVE_HOST, "nie znaleziono nazwy serwera"},
        {CURLE_OPERATION_TIMEDOUT, "serwer nie odpowiedział w czasie"},
        {CURLE_LOGIN_DENIED, "serwer odmówił logowania"},
        {CURLE_USE_SSL_FAILED, "serwer nie oferuje szyfrowania (STARTTLS)"},
        {CURLE_SEND_ERROR, "połączenie przerwane przy wysyłaniu"},
        {CURLE_RECV_ERROR, "połączenie przerwane przy odbiorze"},
        {CURLE_PEER_FAILED_VERIFICATION, "certyfikat serwera nie został potwierdzony"},
    };
    for (const auto& [code, words] : kWords)
        if (code == rc) return words;
    return std::string("libcurl: ") + curl_easy_strerror(rc);
}

std::size_t ignoreBody(char*, std::size_t size, std::size_t count, void*) { return size * count; }

class HttpSender final : public Sender {
public:
    explicit HttpSender(std::string url) : url_(std::move(url)) {}
    std::string name() const override { return url_; }
    std::string send(const Outgoing& n) override {
        curlOnce();
        CURL* curl = curl_easy_init();
        if (!curl) return "libcurl: brak pamięci";
        curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json; charset=utf-8");
        curl_easy_setopt(curl, CURLOPT_URL, url_.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, n.text.json.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(n.text.json.size()));
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(kTimeLimitSeconds));
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, ignoreBody);
        const CURLcode rc = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
        if (rc != CURLE_OK) return "HTTP: " + curlFailure(rc);
        if (status < 200 || status > 299) return "HTTP: odpowiedź " + std::to_string(status);
        return "";
    }

private:
    std::string url_;
};

std::string base64(const std::string& bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
    }
    return out;
}

std::string crlf(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') out += "\r\n";
        else if (c != '\r') out += c;
    }
    return out;
}

struct MailTarget {
    std::string url;    // smtp://HOST:PORT
    std::string user;   // "" without login
    std::string host;
    std::string from;
    std::vector<std::string> to;
};

class SmtpSender final : public Sender {
public:
    SmtpSender(MailTarget target, std::string password) : t_(std::move(target)), password_(std::move(password)) {}
    std::string name() const override { return t_.url + (t_.user.empty() ? "" : " (" + t_.user + ")"); }
    std::string send(const Outgoing& n) override {
        curlOnce();
        std::string to;
        for (const auto& a : t_.to) to += (to.empty() ? "" : ", ") + a;
        char date[64];
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&now, &tm);
        std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S +0000", &tm);
        // Receivers that keep mails by Message-ID drop one sent again after a cut connection.
        const std::string message = crlf("Date: " + std::string(date) + "\nFrom: " + t_.from + "\nTo: " + to +
                                         "\nSubject: =?UTF-8?B?" + base64(n.text.subject) + "?=\nMessage-ID: <kavrel-alarm-" +
                                         std::to_string(n.id) + "-" + std::to_string(n.createdMs) + "@" + t_.host +
                                         ">\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
                                         "Content-Transfer-Encoding: 8bit\n\n" + n.text.body);
        CURL* curl = curl_easy_init();
        if (!curl) return "libcurl: brak pamięci";
        curl_slist* rcpt = nullptr;
        for (const auto& a : t_.to) rcpt = curl_slist_append(rcpt, ("<" + a + ">").c_str());
        Upload upload{&message};
        const std::string from = "<" + t_.from + ">";
        curl_easy_setopt(curl, CURLOPT_URL, t_.url.c_str());
        curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
        curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, readUpload);
        curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(kTimeLimitSeconds));
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        // A password never travels in the clear: with a login, TLS is required.
        curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(t_.user.empty() ? CURLUSESSL_TRY : CURLUSESSL_ALL));
        if (!t_.user.empty()) {
            curl_easy_setopt(curl, CURLOPT_USERNAME, t_.user.c_str());
            curl_easy_setopt(curl, CURLOPT_PASSWORD, password_.c_str());
        }
        const CURLcode rc = curl_easy_perform(curl);
        curl_slist_free_all(rcpt);
        curl_easy_cleanup(curl);
        if (rc != CURLE_OK) return "SMTP: " + curlFailure(rc);
        return "";
    }

private:
    MailTarget t_;
    std::string password_;
};

// The password of USER@HOST from the secrets file: lines "USER@HOST PASSWORD".
bool passwordFor(const std::filesystem::path& secrets, const std::string& key, std::string& password) {
    std::ifstream in(secrets);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto space = line.find_first_of(" \t");
        if (space == std::string::npos || line.substr(0, space) != key) continue;
        password = line.substr(line.find_first_not_of(" \t", space));
        return true;
    }
    return false;
}

std::unique_ptr<Sender> smtpSender(const std::string& target, const std::filesystem::path& secrets, std::string& error) {
    const std::string scheme = target.starts_with("smtps://") ? "smtps://" : "smtp://";
    std::string rest = target.substr(scheme.size());
    const auto query = rest.find('?');
    if (query == std::string::npos) {
        error = "oczekiwano " + scheme + "[UŻYTKOWNIK@]HOST[:PORT]?from=ADRES&to=ADRES[,ADRES]";
        return nullptr;
    }
    MailTarget t;
    std::string authority = rest.substr(0, query);
    if (const auto at = authority.rfind('@'); at != std::string::npos) {
        t.user = authority.substr(0, at);
        authority = authority.substr(at + 1);
        // A password on the command line shows in the process list: it belongs in the secrets file.
        if (t.user.find(':') != std::string::npos) {
            error = "hasło nie może stać w wierszu poleceń: podaj je w pliku --notify-secrets";
            return nullptr;
        }
    }
    t.host = authority.substr(0, authority.find(':'));
    if (t.host.empty()) {
        error = "brak serwera poczty w " + target;
        return nullptr;
    }
    std::string params = rest.substr(query + 1);
    std::size_t at = 0;
    while (at <= params.size()) {
        const auto amp = params.find('&', at);
        const std::string p = params.substr(at, amp - at);
        at = amp == std::string::npos ? params.size() + 1 : amp + 1;
        if (p.starts_with("from=")) t.from = p.substr(5);
        else if (p.starts_with("to=")) {
            std::string list = p.substr(3);
            std::size_t s = 0;
            while (s <= list.size()) {
                const auto comma = list.find(',', s);
                const std::string a = list.substr(s, comma - s);
                if (!a.empty()) t.to.push_back(a);
                s = comma == std::string::npos ? list.size() + 1 : comma + 1;
            }
        } else if (!p.empty()) {
            error = "nieznany parametr \"" + p + "\" w " + target + " (from=, to=)";
            return nullptr;
        }
    }
    if (t.from.empty() || t.to.empty()) {
        error = "adres poczty wymaga from=ADRES i to=ADRES";
        return nullptr;
    }
    for (const auto& a : t.to)
        if (a.find_first_of("<>\r\n ") != std::string::npos || a.find('@') == std::string::npos) {
            error = "niepoprawny adres \"" + a + "\"";
            return nullptr;
        }
    if (t.from.find_first_of("<>\r\n ") != std::string::npos || t.from.find('@') == std::string::npos) {
        error = "niepoprawny adres \"" + t.from + "\"";
        return nullptr;
    }
    std::string password;
    if (!t.user.empty()) {
        if (secrets.empty()) {
            error = "logowanie " + t.user + "@" + t.host + " wymaga --notify-secrets PLIK z hasłem";
            return nullptr;
        }
        if (!passwordFor(secrets, t.user + "@" + t.host, password)) {
            error = "brak hasła dla " + t.user + "@" + t.host + " w " + secrets.string();
            return nullptr;
        }
    }
    t.url = scheme + authority;
    return std::make_unique<SmtpSender>(std::move(t), std::move(password));
}

#endif

} // namespace

bool mailAndWebhooksAvailable() {
#ifdef KAVREL_HAVE_CURL
    return true;
#else
    return false;
#endif
}

std::unique_ptr<Sender> makeSender(const std::string& target, const std::filesystem::path& secrets, std::string& error) {
    if (target.starts_with("exec:")) {
        if (target.size() == 5) {
            error = "exec: wymaga programu";
            return nullptr;
        }
        return std::make_unique<ExecSender>(target.substr(5));
    }
    const bool mail = target.starts_with("smtp://") || target.starts_with("smtps://");
    const bool web = target.starts_with("http://") || target.starts_with("https://");
    if (!mail && !web) {
        error = "nieznany cel powiadomień \"" + target + "\" (smtp://, http://, https://, exec:)";
        return nullptr;
    }
#ifdef KAVREL_HAVE_CURL
    if (mail) return smtpSender(target, secrets, error);
    return std::make_unique<HttpSender>(target);
#else
    (void)secrets;
    error = "powiadomienia pocztą i przez HTTP nie są dostępne w tej wersji programu (bez libcurl)";
    return nullptr;
#endif
}

std::unique_ptr<Sender> makeMqttSender(std::function<void(const std::string&, const std::string&)> publish) {
    return std::make_unique<MqttSender>(std::move(publish));
}

} // namespace kavrel::fleet::alarms
