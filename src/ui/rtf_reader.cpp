#include "ui/rtf_reader.h"

#include "core/codepages.h"

#include <QSet>

#include <cctype>

#include <vector>

namespace ordan {

namespace {

struct State {
    bool skip = false;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int fontSize = 24; // half points
    int unicodeSkip = 1;
};

class Converter {
public:
    explicit Converter(const QByteArray &rtf) : in_(rtf) {}

    QString run()
    {
        states_.push_back({});
        out_ += QStringLiteral("<html><body><p>");
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                flushText();
                states_.push_back(states_.back());
            } else if (c == '}') {
                flushText();
                if (states_.size() > 1)
                    states_.pop_back();
            } else if (c == '\\') {
                controlWord();
            } else if (c == '\r' || c == '\n') {
                continue;
            } else if (!state().skip) {
                pending_ += DecodeByte(Codepage::Windows1251, static_cast<quint8>(c));
            }
        }
        flushText();
        out_ += QStringLiteral("</p></body></html>");
        return out_;
    }

private:
    State &state() { return states_.back(); }

    void controlWord()
    {
        if (pos_ >= in_.size())
            return;
        const char c = in_[pos_];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++pos_;
            controlSymbol(c);
            return;
        }
        QByteArray word;
        while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])))
            word += in_[pos_++];
        bool hasParam = false;
        int param = 0;
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
            hasParam = true;
            param = param * 10 + (in_[pos_++] - '0');
            if (param > 1000000)
                param = 1000000;
        }
        if (negative)
            param = -param;
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;
        apply(word, hasParam, param);
    }

    void controlSymbol(char c)
    {
        if (c == '*') {
            flushText();
            state().skip = true;
        } else if (c == '\'') {
            if (pos_ + 2 <= in_.size()) {
                bool ok = false;
                const int b = in_.mid(pos_, 2).toInt(&ok, 16);
                pos_ += 2;
                if (ok && !state().skip)
                    pending_ += DecodeByte(Codepage::Windows1251, static_cast<quint8>(b));
            }
        } else if (c == '~') {
            text(QChar(0x00A0));
        } else if (c == '\\' || c == '{' || c == '}') {
            text(QChar::fromLatin1(c));
        } else if (c == '\n' || c == '\r') {
            paragraph();
        }
    }

    void apply(const QByteArray &word, bool hasParam, int param)
    {
        static const QSet<QByteArray> skipped = {
            "fonttbl",      "colortbl",  "stylesheet",        "info",      "pict",      "header",
            "footer",       "listtable", "listoverridetable", "generator", "themedata", "datastore",
            "latentstyles", "xmlnstbl",  "rsidtbl",           "mmathPr",   "object",    "fldinst",
            "headerl",      "headerr",   "footerl",           "footerr"};
        if (skipped.contains(word)) {
            flushText();
            state().skip = true;
            return;
        }
        if (word == "par" || word == "sect" || word == "page") {
            paragraph();
        } else if (word == "line") {
            text(QChar::LineSeparator);
        } else if (word == "tab") {
            text(QChar::fromLatin1('\t'));
        } else if (word == "b") {
            flushText();
            state().bold = !hasParam || param != 0;
        } else if (word == "i") {
            flushText();
            state().italic = !hasParam || param != 0;
        } else if (word == "ul") {
            flushText();
            state().underline = !hasParam || param != 0;
        } else if (word == "ulnone") {
            flushText();
            state().underline = false;
        } else if (word == "plain") {
            flushText();
            state().bold = state().italic = state().underline = false;
            state().fontSize = 24;
        } else if (word == "fs" && hasParam && param > 0) {
            flushText();
            state().fontSize = qBound(8, param, 144);
        } else if (word == "uc" && hasParam) {
            state().unicodeSkip = qBound(0, param, 4);
        } else if (word == "u" && hasParam) {
            text(QChar(static_cast<char16_t>(param < 0 ? param + 65536 : param)));
            skipFallback();
        }
    }

    // The characters that stand in for a \u escape in readers without Unicode.
    void skipFallback()
    {
        for (int n = state().unicodeSkip; n > 0 && pos_ < in_.size(); --n) {
            if (in_[pos_] == '\\' && pos_ + 1 < in_.size() && in_[pos_ + 1] == '\'')
                pos_ += 4;
            else if (in_[pos_] == '{' || in_[pos_] == '}')
                break;
            else
                ++pos_;
        }
    }

    void text(QChar c)
    {
        if (!state().skip)
            pending_ += c;
    }

    void paragraph()
    {
        if (state().skip)
            return;
        flushText();
        out_ += QStringLiteral("</p>\n<p>");
    }

    void flushText()
    {
        if (pending_.isEmpty())
            return;
        const State &s = state();
        QString html = pending_.toHtmlEscaped();
        html.replace(QChar::LineSeparator, QStringLiteral("<br/>"));
        html.replace(QLatin1Char('\t'), QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;"));
        QString style = QStringLiteral("font-size:%1pt;").arg(s.fontSize / 2);
        if (s.bold)
            style += QStringLiteral("font-weight:bold;");
        if (s.italic)
            style += QStringLiteral("font-style:italic;");
        if (s.underline)
            style += QStringLiteral("text-decoration:underline;");
        out_ += QStringLiteral("<span style=\"%1\">%2</span>").arg(style, html);
        pending_.clear();
    }

private:
    const QByteArray &in_;
    qsizetype pos_ = 0;
    std::vector<State> states_;
    QString pending_;
    QString out_;
};

} // namespace

Result<QString> RtfToHtml(const QByteArray &rtf)
{
    if (!rtf.trimmed().startsWith("{\\rtf"))
        return Fail(QStringLiteral("не является документом RTF"));
    Converter converter(rtf);
    QString html = converter.run();
    return html;
}

} // namespace ordan
