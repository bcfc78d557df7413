#include "htmlview.h"

#include "privileges.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace ondivo {

namespace {

const QByteArray kSchema = QByteArrayLiteral("ondivo");

bool linkEsterno(const QUrl& url) {
    const QString s = url.scheme();
    return s == QLatin1String("http") || s == QLatin1String("https") ||
           s == QLatin1String("mailto");
}

// Lets through only the page itself and data embedded in it.
class LocalOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString s = info.requestUrl().scheme();
        if (s != QLatin1String(kSchema) && s != QLatin1String("data"))
            info.block(true);
    }
};

// Stays on our pages; a clicked web link goes to the system's browser instead.
class InvoicePage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (type == NavigationTypeLinkClicked) {
            if (linkEsterno(url))
                QDesktopServices::openUrl(url);
            return false;
        }
        return isMainFrame && url.scheme() == QLatin1String(kSchema) &&
               type != NavigationTypeFormSubmitted;
    }

    // A link that asks for a new window: hand its address to the system's browser.
    QWebEnginePage* createWindow(WebWindowType) override {
        auto* ponte = new ForwardingPage(profile(), this);
        return ponte;
    }

private:
    class ForwardingPage : public QWebEnginePage {
    public:
        using QWebEnginePage::QWebEnginePage;

    protected:
        bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
            if (linkEsterno(url))
                QDesktopServices::openUrl(url);
            deleteLater();
            return false;
        }
    };
};

} // namespace

// Serves the current page's bytes from memory, so pages of any size load (setHtml stops at
// 2 MB). Only the latest page is kept; a request for an older one fails.
class InvoiceSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void imposta(const QString& percorso, const QByteArray& html) {
        m_percorso = percorso;
        m_html = html;
    }

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        if (job->requestUrl().path() != m_percorso) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* buffer = new QBuffer(job); // QByteArray shares the bytes; the job owns the buffer
        buffer->setData(m_html);
        buffer->open(QIODevice::ReadOnly);
        // The bytes are Windows-1252 by construction. Without saying so Chromium guesses the
        // encoding from the text and may pick another code page (Windows-1250 for "è").
        job->reply(QByteArrayLiteral("text/html;charset=windows-1252"), buffer);
    }

private:
    QString m_percorso;
    QByteArray m_html;
};

void PreparaWebEngine() {
    QWebEngineUrlScheme schema(kSchema);
    schema.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    schema.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(schema);
    if (platform::EseguitoDaAmministratore() &&
        qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

HtmlView::HtmlView(QWidget* parent) : QWebEngineView(parent) {
    // A private, memory-only profile: nothing of an invoice is stored on disk.
    auto* profilo = new QWebEngineProfile(this);
    profilo->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profilo->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profilo->setUrlRequestInterceptor(new LocalOnlyInterceptor(profilo));
    m_schema = new InvoiceSchemeHandler(profilo);
    profilo->installUrlSchemeHandler(kSchema, m_schema);

    auto* pagina = new InvoicePage(profilo, this);
    QWebEngineSettings* s = pagina->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    setPage(pagina);
    // A load asked for while the page before is being committed may be dropped by the
    // engine, which then finishes the page before in its place: ask for the latest again.
    connect(this, &QWebEngineView::loadFinished, this, [this] {
        if (!m_ultima.isEmpty() && page()->requestedUrl() != m_ultima)
            page()->load(m_ultima);
    });
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
}

HtmlView::~HtmlView() {
    // The page must go before the profile it was made with.
    delete page();
}

void HtmlView::mostraHtml(const QByteArray& ansi) {
    // Each page gets its own address, so a page still loading is never served another's bytes.
    const QString percorso = QStringLiteral("fattura/%1").arg(++m_generazione);
    m_schema->imposta(percorso, ansi);
    m_ultima = QUrl();
    m_ultima.setScheme(QLatin1String(kSchema));
    m_ultima.setPath(percorso);
    page()->load(m_ultima);
}

void HtmlView::impostaZoom(qreal fattore) {
    m_zoom = fattore;
    // The page keeps a factor set here and gives it to each page it loads; a zoom the engine
    // makes by itself (Ctrl+wheel) would be undone by the next page.
    setZoomFactor(fattore);
}

} // namespace ondivo
