#!/usr/bin/env python3
"""ondivo-cli firma against openssl cms -verify: the verdict on CAdES envelopes of a PKI made
here, each compared with openssl's and with the validation model (EN 319 102-1).

Arguments: the ondivo-cli program, the openssl tool and, optionally, the invoice to sign (the
repository's sample otherwise). A root, its issuing authorities and the signers are made with
openssl in a temporary folder; the CRLs are put in the envelopes by a DER rewriter of ours,
since openssl cannot; the root reaches ondivo through a trusted list signed with xmlsec1. The
user's data folder is a temporary one: no list the user imported is seen or touched.
"""
import base64
import http.server
import datetime
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import types

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "common"))
from checks import check, finish  # noqa: E402

CLI = str(pathlib.Path(sys.argv[1]).resolve())
OPENSSL = sys.argv[2]
INVOICE = pathlib.Path(sys.argv[3] if len(sys.argv) > 3 else pathlib.Path(__file__).resolve()
                       .parent.parent.parent / "samples" / "IT04382710285_FPR12_esempio.xml")
FAKETIME = shutil.which("faketime") or "/usr/bin/faketime"
XMLSEC1 = shutil.which("xmlsec1") or "/usr/bin/xmlsec1"
TIMEOUT = 60

NOW = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
MINUTE = datetime.timedelta(minutes=1)
HOUR = datetime.timedelta(hours=1)
DAY = datetime.timedelta(days=1)
SINCE = "20240101000000Z"      # what the authorities and most signers are valid from
UNTIL = "20991231235959Z"


def stamp(t):
    return t.strftime("%Y%m%d%H%M%SZ")


def iso(t):
    return t.strftime("%Y-%m-%dT%H:%M:%SZ")


def run(args, cwd, at=None, check_status=True, env=None):
    """A tool run in cwd; with the clock stopped at `at` (faketime), when set."""
    args = [str(a) for a in args]
    if at is not None:
        args = [FAKETIME, "-f", at.strftime("%Y-%m-%d %H:%M:%S")] + args
    res = subprocess.run(args, cwd=cwd, capture_output=True, timeout=TIMEOUT,
                         env=dict(env or os.environ, TZ="UTC"))
    if check_status and res.returncode != 0:
        raise RuntimeError("%s: %s" % (" ".join(args), res.stderr.decode(errors="replace")))
    return res


def ossl(*args, cwd, at=None):
    return run([OPENSSL, *args], cwd, at)


def pem_to_der(path):
    """The first PEM block of the file, decoded."""
    lines = pathlib.Path(path).read_text().splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith("-----BEGIN"))
    end = next(i for i, line in enumerate(lines) if i > start and line.startswith("-----END"))
    return base64.b64decode("".join(lines[start + 1:end]))


# ---- DER: just what it takes to rewrite a SignedData with definite lengths.

def der_header(data, pos):
    """(header length, content length) of the element at pos."""
    first = data[pos + 1]
    if first < 0x80:
        return 2, first
    size = first & 0x7F
    if size == 0:
        raise ValueError("indefinite length")
    return 2 + size, int.from_bytes(data[pos + 2:pos + 2 + size], "big")


def der_content(element):
    head, size = der_header(element, 0)
    return element[head:head + size]


def der_children(content):
    children, pos = [], 0
    while pos < len(content):
        head, size = der_header(content, pos)
        children.append(content[pos:pos + head + size])
        pos += head + size
    return children


def der(tag, content):
    size = len(content)
    if size < 0x80:
        return bytes([tag, size]) + content
    octets = size.to_bytes((size.bit_length() + 7) // 8, "big")
    return bytes([tag, 0x80 | len(octets)]) + octets + content


def signed_data_fields(envelope):
    """The ContentInfo's type and the fields of its SignedData."""
    content_type, explicit = der_children(der_content(envelope))
    return content_type, der_children(der_content(der_content(explicit)))


def rewrite(envelope, certs=None, crls=None):
    """The envelope with its certificates [0] and CRLs [1] replaced by the DER given (None:
    kept; empty: removed), the enclosing lengths worked out afresh."""
    content_type, fields = signed_data_fields(envelope)
    head, rest = fields[:3], fields[3:]  # version, digestAlgorithms, encapContentInfo
    cert_field = [f for f in rest if f[0] == 0xA0]
    crl_field = [f for f in rest if f[0] == 0xA1]
    signer_infos = rest[-1]
    assert signer_infos[0] == 0x31, "signerInfos not last"
    if certs is not None:
        cert_field = [der(0xA0, b"".join(sorted(certs)))] if certs else []
    if crls is not None:
        crl_field = [der(0xA1, b"".join(sorted(crls)))] if crls else []
    signed_data = der(0x30, b"".join(head + cert_field + crl_field + [signer_infos]))
    return der(0x30, content_type + der(0xA0, signed_data))


def spoil_signature(envelope):
    """The envelope with the last octet of the first signer's signature value changed."""
    _, fields = signed_data_fields(envelope)
    signer = der_children(der_content(fields[-1]))[0]
    value = next(f for f in der_children(der_content(signer)) if f[0] == 0x04)
    spoiled = value[:-1] + bytes([value[-1] ^ 0x01])
    assert envelope.count(value) == 1
    return envelope.replace(value, spoiled)


# id-aa-ets-revocationValues, 1.2.840.113549.1.9.16.2.24.
REVOCATION_VALUES = bytes.fromhex("060b2a864886f70d0109100218")


def with_revocation_values(envelope, crls=(), ocsps=()):
    """The envelope with a CAdES revocation-values unsigned attribute on its signer: CRLs
    [0] and basic OCSP responses [1], as DER."""
    values = b""
    if crls:
        values += der(0xA0, der(0x30, b"".join(crls)))
    if ocsps:
        values += der(0xA1, der(0x30, b"".join(ocsps)))
    attribute = der(0x30, REVOCATION_VALUES + der(0x31, der(0x30, values)))
    content_type, fields = signed_data_fields(envelope)
    signers = der_children(der_content(fields[-1]))
    parts = der_children(der_content(signers[0]))
    assert parts[-1][0] == 0x04, "the signer has unsigned attributes already"
    signers[0] = der(0x30, b"".join(parts + [der(0xA1, attribute)]))
    fields[-1] = der(0x31, b"".join(signers))
    return der(0x30, content_type + der(0xA0, der(0x30, b"".join(fields))))


def basic_ocsp(response):
    """The BasicOCSPResponse inside an OCSPResponse."""
    _, explicit = der_children(der_content(response))
    _, octets = der_children(der_content(der_content(explicit)))
    return der_content(octets)


# signingTime: its OID, the SET and a UTCTime of 13 characters, "YYMMDDhhmmssZ".
SIGNING_TIME = bytes.fromhex("06092a864886f70d010905310f170d")


def spoil_signing_time(envelope):
    """The envelope with the claimed signing time one second off: a signed attribute changed."""
    at = envelope.index(SIGNING_TIME) + len(SIGNING_TIME) + 11  # the units of the seconds
    digit = envelope[at]
    return envelope[:at] + bytes([digit + 1 if digit < 0x39 else 0x30]) + envelope[at + 1:]


# ---- The PKI.

CA_CONF = """[ca]
default_ca = ca_prova
[ca_prova]
dir = {dir}
database = $dir/index.txt
new_certs_dir = $dir
serial = $dir/serial
crlnumber = $dir/crlnumber
default_md = sha256
default_crl_days = 7
policy = libera
unique_subject = no
email_in_dn = no
[libera]
countryName = optional
organizationName = optional
givenName = optional
surname = optional
serialNumber = optional
commonName = supplied
[radice]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[autorita]
basicConstraints = critical,CA:TRUE,pathlen:0
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[autorita_senza_crl]
basicConstraints = critical,CA:TRUE,pathlen:0
keyUsage = critical,keyCertSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[non_autorita]
basicConstraints = critical,CA:FALSE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[firma]
basicConstraints = CA:FALSE
keyUsage = critical,nonRepudiation
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[documenti]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature,nonRepudiation
extendedKeyUsage = 1.3.6.1.5.5.7.3.36
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[qualsiasi]
basicConstraints = CA:FALSE
keyUsage = critical,nonRepudiation
extendedKeyUsage = anyExtendedKeyUsage
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[documenti_ms]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = 1.3.6.1.4.1.311.10.3.12
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[senza_usi]
basicConstraints = CA:FALSE
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[posta]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature,nonRepudiation
extendedKeyUsage = emailProtection
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[client]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = clientAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[cifratura]
basicConstraints = CA:FALSE
keyUsage = critical,keyEncipherment,dataEncipherment
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[server]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""


class Authority:
    """An authority of `openssl ca`: its folder, key, certificate and database."""

    def __init__(self, pki, name, subject, issuer=None, profile="autorita", since=SINCE,
                 until=UNTIL):
        self.pki, self.name = pki, name
        self.dir = pki.dir / name
        self.dir.mkdir()
        (self.dir / "index.txt").write_text("")
        (self.dir / "serial").write_text("%X\n" % (0x1000 * (len(pki.authorities) + 1)))
        (self.dir / "crlnumber").write_text("01\n")
        (self.dir / "ca.cnf").write_text(CA_CONF.format(dir=self.dir))
        self.key = pki.key(name)
        csr = pki.csr(name, subject, self.key)
        self.cert = self.dir / "ca.pem"
        if issuer is None:
            ossl("ca", "-batch", "-config", self.dir / "ca.cnf", "-selfsign", "-keyfile",
                 self.key, "-in", csr, "-out", self.cert, "-extensions", "radice", "-startdate",
                 since, "-enddate", until, "-notext", "-preserveDN", cwd=pki.dir)
        else:
            self.cert = issuer.issue(name, csr, profile, since, until)
        self.der = pem_to_der(self.cert)
        pki.authorities.append(self)

    def issue(self, name, csr, profile, since=SINCE, until=UNTIL, md="sha256"):
        out = self.pki.dir / (name + ".pem")
        ossl("ca", "-batch", "-config", self.dir / "ca.cnf", "-cert", self.cert, "-keyfile",
             self.key, "-in", csr, "-out", out, "-extensions", profile, "-startdate", since,
             "-enddate", until, "-md", md, "-notext", "-preserveDN", cwd=self.pki.dir)
        return out

    def revoke(self, cert, at=None):
        """Revoked now, or at the time given."""
        ossl("ca", "-batch", "-config", self.dir / "ca.cnf", "-cert", self.cert, "-keyfile",
             self.key, "-revoke", cert, "-crl_reason", "keyCompromise", cwd=self.pki.dir, at=at)

    def ocsp(self, cert, tag, responder=None):
        """The answer of openssl's responder on the certificate, from the database now, next
        update a day later; signed by the authority or by the responder (cert, key) given."""
        signer_cert, signer_key = responder or (self.cert, self.key)
        request, out = self.dir / ("ocsp-%s.req" % tag), self.dir / ("ocsp-%s.der" % tag)
        ossl("ocsp", "-issuer", self.cert, "-cert", cert, "-no_nonce", "-reqout", request,
             cwd=self.pki.dir)
        ossl("ocsp", "-index", self.dir / "index.txt", "-CA", self.cert, "-rsigner", signer_cert,
             "-rkey", signer_key, "-reqin", request, "-respout", out, "-ndays", "1",
             cwd=self.pki.dir)
        return out

    def crl(self, tag, at=None, days=7, seconds=None):
        """The CRL as DER, issued now (or at `at`), next update `days` (or `seconds`) later."""
        out = self.dir / ("crl-%s.pem" % tag)
        period = ["-crlsec", seconds] if seconds is not None else ["-crldays", days]
        ossl("ca", "-batch", "-config", self.dir / "ca.cnf", "-cert", self.cert, "-keyfile",
             self.key, "-gencrl", *period, "-out", out, cwd=self.pki.dir, at=at)
        return pem_to_der(out)


class Pki:
    def __init__(self, folder):
        self.dir = folder
        self.authorities = []

    def key(self, name, kind="ec"):
        out = self.dir / (name + ".key")
        algorithm = {"ec": ["EC", "-pkeyopt", "ec_paramgen_curve:P-256"],
                     "p224": ["EC", "-pkeyopt", "ec_paramgen_curve:P-224"],
                "rsa2048": ["RSA", "-pkeyopt", "rsa_keygen_bits:2048"],
                "rsa1024": ["RSA", "-pkeyopt", "rsa_keygen_bits:1024"]}[kind]
        ossl("genpkey", "-algorithm", *algorithm, "-out", out, cwd=self.dir)
        return out

    def csr(self, name, subject, key):
        out = self.dir / (name + ".csr")
        ossl("req", "-new", "-key", key, "-subj", subject, "-out", out, cwd=self.dir)
        return out


def person(given, surname, code):
    return ("/C=IT/O=Studio %s/GN=%s/SN=%s/serialNumber=TINIT-%s/CN=%s %s"
            % (surname, given, surname, code, surname.upper(), given.upper()))


class Signer:
    def __init__(self, pki, name, issuer, subject, profile="firma", kind="ec", since=SINCE,
                 until=UNTIL, md="sha256"):
        self.name, self.issuer = name, issuer
        self.key = pki.key(name, kind)
        self.cert = issuer.issue(name, pki.csr(name, subject, self.key), profile, since, until, md)
        self.der = pem_to_der(self.cert)


def sign(work, signer, out, at=None, md="sha256", extra=()):
    """The invoice in a CAdES-BES envelope (ESS signing-certificate-v2), with the signer's
    issuing authority; signed at `at` (faketime), now otherwise."""
    ossl("cms", "-sign", "-nodetach", "-binary", "-cades", "-outform", "DER", "-md", md, "-in",
         INVOICE, "-signer", signer.cert, "-inkey", signer.key, "-certfile",
         signer.issuer.cert, "-out", out, *extra, cwd=work, at=at)
    return pathlib.Path(out).read_bytes()


def import_list(work, env, roots):
    """The roots as qualified authorities of a trusted list signed by a key of its own
    (enveloped XML signature, xmlsec1), imported with ondivo-cli fiducia importa."""
    key, cert = work / "elenco.key", work / "elenco.pem"
    ossl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days",
         "30", "-subj", "/C=IT/O=Gestore di prova/CN=Firmatario dell'elenco", cwd=work)
    services = "".join(
        "<tsl:TSPService><tsl:ServiceInformation><tsl:ServiceTypeIdentifier>"
        "http://uri.etsi.org/TrstSvc/Svctype/CA/QC</tsl:ServiceTypeIdentifier>\n"
        "<tsl:ServiceDigitalIdentity><tsl:DigitalId><tsl:X509Certificate>%s"
        "</tsl:X509Certificate></tsl:DigitalId></tsl:ServiceDigitalIdentity>\n"
        "<tsl:ServiceStatus>http://uri.etsi.org/TrstSvc/TrustedList/Svcstatus/granted"
        "</tsl:ServiceStatus></tsl:ServiceInformation></tsl:TSPService>\n"
        % base64.b64encode(r.der).decode() for r in roots)
    template = (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<tsl:TrustServiceStatusList xmlns:tsl="http://uri.etsi.org/02231/v2#" '
        'xmlns:ds="http://www.w3.org/2000/09/xmldsig#" Id="elenco">\n'
        "<tsl:SchemeInformation><tsl:TSLVersionIdentifier>5</tsl:TSLVersionIdentifier>"
        "<tsl:TSLSequenceNumber>1</tsl:TSLSequenceNumber>\n"
        "<tsl:SchemeTerritory>IT</tsl:SchemeTerritory>"
        "<tsl:ListIssueDateTime>%s</tsl:ListIssueDateTime>\n"
        "<tsl:NextUpdate><tsl:dateTime>%s</tsl:dateTime></tsl:NextUpdate>"
        "</tsl:SchemeInformation>\n"
        "<tsl:TrustServiceProviderList><tsl:TrustServiceProvider><tsl:TSPInformation>"
        '<tsl:TSPName><tsl:Name xml:lang="it">Ondivo Prova S.p.A.</tsl:Name></tsl:TSPName>'
        "</tsl:TSPInformation>\n<tsl:TSPServices>%s</tsl:TSPServices></tsl:TrustServiceProvider>"
        "</tsl:TrustServiceProviderList>\n"
        "<ds:Signature><ds:SignedInfo><ds:CanonicalizationMethod "
        'Algorithm="http://www.w3.org/2001/10/xml-exc-c14n#"/>\n'
        '<ds:SignatureMethod Algorithm="http://www.w3.org/2001/04/xmldsig-more#rsa-sha256"/>\n'
        '<ds:Reference URI=""><ds:Transforms><ds:Transform '
        'Algorithm="http://www.w3.org/2000/09/xmldsig#enveloped-signature"/>\n'
        '<ds:Transform Algorithm="http://www.w3.org/2001/10/xml-exc-c14n#"/></ds:Transforms>\n'
        '<ds:DigestMethod Algorithm="http://www.w3.org/2001/04/xmlenc#sha256"/>'
        "<ds:DigestValue/></ds:Reference></ds:SignedInfo>\n"
        "<ds:SignatureValue/><ds:KeyInfo><ds:X509Data><ds:X509Certificate/></ds:X509Data>"
        "</ds:KeyInfo></ds:Signature>\n</tsl:TrustServiceStatusList>\n"
        % (iso(NOW - DAY), iso(NOW + 180 * DAY), services))
    (work / "modello.xml").write_text(template)
    run([XMLSEC1, "--sign", "--privkey-pem", "%s,%s" % (key, cert), "--output",
         work / "elenco.xml", work / "modello.xml"], work)
    # The list's signer is made known to the user's folder: only then is the list authentic.
    known = pathlib.Path(env["XDG_DATA_HOME"]) / "ondivo" / "fiducia" / "firmatari-noti.pem"
    known.parent.mkdir(parents=True, exist_ok=True)
    known.write_bytes(cert.read_bytes())
    return cli("fiducia", "importa", work / "elenco.xml", env=env)


def cli(*args, env):
    return run([CLI, *args], None, check_status=False, env=env)


def verdict(*args, env):
    res = cli(*args, "--json", env=env)
    try:
        return res, json.loads(res.stdout)
    except ValueError:
        return res, {}


def openssl_verify(work, path, *options, trusted_root=None):
    """openssl cms -verify: accepted, and its complaint. Hermetic: the root given, or none;
    -cades checks the ESS signing-certificate-v2 against the signer's certificate; security
    level 2 (112 bits) refuses RSA keys under 2048 bits and certificates signed with SHA-1,
    as the validation model does."""
    args = ["cms", "-verify", "-inform", "DER", "-binary", "-cades", "-no-CApath", "-no-CAstore",
            "-auth_level", "2", "-out", os.devnull, "-in", path, *options]
    args += ["-CAfile", trusted_root] if trusted_root else ["-no-CAfile"]
    res = run([OPENSSL, *args], work, check_status=False)
    return res.returncode == 0, res.stderr.decode(errors="replace")


def network_case(work, env, pki, root, org):
    """firma --rete: a chain whose certificates name their CRLs on a server of this machine;
    the envelope carries none. Without --rete the revocation stays unverified; with it the
    lists are fetched, kept in the user's cache and read from there the next time."""
    served, asked = {}, []

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            asked.append(self.path)
            body = served.get(self.path)
            self.send_response(200 if body else 404)
            self.send_header("Content-Length", str(len(body or b"")))
            self.end_headers()
            self.wfile.write(body or b"")

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        base = "http://127.0.0.1:%d" % server.server_address[1]
        extensions = work / "rete.cnf"
        extensions.write_text(
            "[ca_rete]\nbasicConstraints = critical,CA:TRUE\n"
            "keyUsage = critical,keyCertSign,cRLSign\nsubjectKeyIdentifier = hash\n"
            "authorityKeyIdentifier = keyid\ncrlDistributionPoints = URI:%s/radice.crl\n"
            "[firma_rete]\nbasicConstraints = CA:FALSE\nkeyUsage = critical,nonRepudiation\n"
            "subjectKeyIdentifier = hash\nauthorityKeyIdentifier = keyid\n"
            "crlDistributionPoints = URI:%s/emittente.crl\n" % (base, base))
        top = Authority(pki, "radice_rete", org + "/CN=Ondivo Rete Root CA",
                        since="20100101000000Z")
        issuing = Authority(pki, "emittente_rete", org + "/CN=Ondivo Rete CA", top,
                            since="20150101000000Z")
        # Issued again, with its distribution point: openssl ca takes it from -extfile.
        ossl("ca", "-batch", "-config", top.dir / "ca.cnf", "-cert", top.cert, "-keyfile",
             top.key, "-in", pki.csr("emittente_rete_cdp", org + "/CN=Ondivo Rete CA",
                                     issuing.key),
             "-out", issuing.cert, "-extfile", extensions, "-extensions", "ca_rete", "-startdate",
             "20150101000000Z", "-enddate", UNTIL, "-notext", "-preserveDN", cwd=pki.dir)
        key = pki.key("firmatario_rete")
        cert = work / "firmatario_rete.pem"
        ossl("ca", "-batch", "-config", issuing.dir / "ca.cnf", "-cert", issuing.cert, "-keyfile",
             issuing.key, "-in", pki.csr("firmatario_rete", person("Olga", "Serra",
                                                                   "SRRLGO76A41H501B"), key),
             "-out", cert, "-extfile", extensions, "-extensions", "firma_rete", "-startdate",
             SINCE, "-enddate", UNTIL, "-notext", "-preserveDN", cwd=pki.dir)
        served["/radice.crl"] = top.crl("rete")
        served["/emittente.crl"] = issuing.crl("rete")
        envelope = work / "rete.xml.p7m"
        ossl("cms", "-sign", "-nodetach", "-binary", "-cades", "-outform", "DER", "-in", INVOICE,
             "-signer", cert, "-inkey", key, "-certfile", issuing.cert, "-out", envelope, cwd=work)
        res = import_list(work, env, [root, top])
        check(res.returncode == 0, "rete: trusted list imported", repr(res.stderr))

        _, out = verdict("firma", envelope, env=env)
        check((out.get("indicazione"), out.get("sottoindicazione")) == ("INDETERMINATE",
                                                                         "TRY_LATER")
              and not asked, "rete: nothing asked without --rete", repr((out, asked)))
        _, out = verdict("firma", envelope, "--rete", env=env)
        check(out.get("indicazione") == "TOTAL_PASSED" and out.get("esito") == "valida"
              and sorted(asked) == ["/emittente.crl", "/radice.crl"],
              "rete: the lists fetched make it valid", repr((out.get("sottoindicazione"), asked)))
        cached = list((work / "cache" / "ondivo" / "revoche").glob("*.crl"))
        check(len(cached) == 2, "rete: the lists kept in the user's cache", repr(cached))
        asked.clear()
        _, out = verdict("firma", envelope, "--rete", env=env)
        check(out.get("esito") == "valida" and not asked, "rete: the cache answers the next time",
              repr((out.get("esito"), asked)))
        # The signer revoked: the new list, once the cached one is gone, says so.
        issuing.revoke(cert)
        served["/emittente.crl"] = issuing.crl("rete-revocato")
        for kept in cached:
            kept.unlink()
        _, out = verdict("firma", envelope, "--rete", env=env)
        check(out.get("esito") in ("revocata", "non_valida"), "rete: a revocation fetched",
              repr(out.get("sottoindicazione")))
    finally:
        server.shutdown()
        server.server_close()


for tool in (FAKETIME, XMLSEC1):
    if not os.access(tool, os.X_OK):
        check(False, "tool missing", tool)
        finish()

with tempfile.TemporaryDirectory() as tmp:
    work = pathlib.Path(tmp)
    env = dict(os.environ, XDG_DATA_HOME=str(work / "dati"), XDG_CACHE_HOME=str(work / "cache"))
    bare_env = dict(os.environ, XDG_DATA_HOME=str(work / "nessun-elenco"),
                    XDG_CACHE_HOME=str(work / "cache"))
    pki = Pki(work)
    org = "/C=IT/O=Ondivo Prova S.p.A."
    root = Authority(pki, "radice", org + "/CN=Ondivo Prova Root CA", since="20100101000000Z")
    issuing = Authority(pki, "emittente", org + "/CN=Ondivo Prova CA Firma Qualificata", root,
                        since="20150101000000Z")
    revoked_ca = Authority(pki, "revocata", org + "/CN=Ondivo Prova CA Revocata", root)
    expired_ca = Authority(pki, "scaduta", org + "/CN=Ondivo Prova CA Scaduta", root,
                           since="20190101000000Z", until="20210101000000Z")
    no_crlsign_ca = Authority(pki, "senza_crlsign", org + "/CN=Ondivo Prova CA Senza CRL", root,
                              profile="autorita_senza_crl")
    not_a_ca = Authority(pki, "non_ca", org + "/CN=Ondivo Prova Non Autorita", root,
                         profile="non_autorita")
    # Same name as the issuing authority, another key: its CRLs are no one's.
    impostor = Authority(pki, "impostore", org + "/CN=Ondivo Prova CA Firma Qualificata")
    foreign = Authority(pki, "estranea", "/C=IT/O=Altra S.p.A./CN=Altra Root CA",
                        since="20100101000000Z")

    s = {}
    s["mario"] = Signer(pki, "mario", issuing, person("Mario", "Rossi", "RSSMRA80A01H501U"))
    s["rsa"] = Signer(pki, "rsa", issuing, person("Giulia", "Conti", "CNTGLI85B42F205Z"),
                      kind="rsa2048")
    s["documenti"] = Signer(pki, "documenti", issuing, person("Elena", "Gallo",
                                                              "GLLLNE79C51L219K"),
                            profile="documenti")
    s["qualsiasi"] = Signer(pki, "qualsiasi", issuing, person("Franca", "Moro",
                                                              "MROFNC67H47G224V"),
                            profile="qualsiasi")
    s["documenti_ms"] = Signer(pki, "documenti_ms", issuing,
                               person("Sergio", "Bassi", "BSSSRG72P14B354M"),
                               profile="documenti_ms")
    s["p224"] = Signer(pki, "p224", issuing, person("Laura", "Fontana", "FNTLRA83S55I480G"),
                       kind="p224")
    s["senza_usi"] = Signer(pki, "senza_usi", issuing, person("Teresa", "Villa",
                                                              "VLLTRS81A41L682C"),
                            profile="senza_usi")
    s["posta"] = Signer(pki, "posta", issuing, person("Bruno", "Longo", "LNGBRN64C12D969F"),
                        profile="posta")
    s["client"] = Signer(pki, "client", issuing, person("Dario", "Mele", "MLEDRA73E04F205S"),
                         profile="client")
    s["cifratura"] = Signer(pki, "cifratura", issuing, person("Marco", "Ferri",
                                                              "FRRMRC70D10A944P"),
                            profile="cifratura")
    s["server"] = Signer(pki, "server", issuing, org + "/CN=www.ondivo.invalid", profile="server")
    s["rsa1024"] = Signer(pki, "rsa1024", issuing, person("Luigi", "Marino", "MRNLGU60E15H501Q"),
                          kind="rsa1024")
    s["cert_sha1"] = Signer(pki, "cert_sha1", issuing, person("Sara", "Greco",
                                                              "GRCSRA90H50F839T"), md="sha1")
    s["scaduto"] = Signer(pki, "scaduto", issuing, person("Anna", "Neri", "NRENNA80A41H501X"),
                          since="20200101000000Z", until="20210101000000Z")
    s["futuro"] = Signer(pki, "futuro", issuing, person("Carlo", "Riva", "RVICRL75M01D612W"),
                         since=stamp(NOW + 30 * DAY))
    s["revocato_dopo"] = Signer(pki, "revocato_dopo", issuing,
                                person("Luca", "Bianchi", "BNCLCU82T10L736R"))
    s["revocato_prima"] = Signer(pki, "revocato_prima", issuing,
                                 person("Paolo", "Verdi", "VRDPLA77S20G273N"))
    s["di_ca_revocata"] = Signer(pki, "di_ca_revocata", revoked_ca,
                                 person("Rita", "Costa", "CSTRTI66P55A662B"))
    s["di_ca_scaduta"] = Signer(pki, "di_ca_scaduta", expired_ca,
                                person("Ugo", "Fabbri", "FBBUGO58R03C351E"),
                                since="20200101000000Z")
    s["di_ca_senza_crlsign"] = Signer(pki, "di_ca_senza_crlsign", no_crlsign_ca,
                                      person("Ivo", "Sala", "SLAIVO71L09B157H"))
    s["di_non_ca"] = Signer(pki, "di_non_ca", not_a_ca, person("Gino", "Pace", "PCAGNI59B18H703K"))
    s["revocato_alla_firma"] = Signer(pki, "revocato_alla_firma", issuing,
                                      person("Nora", "Ricci", "RCCNRO88D62E506L"))
    s["estraneo"] = Signer(pki, "estraneo", foreign, person("Nino", "Testa", "TSTNNI69A01F839D"))

    # Lists of a month ago, next update a week after: out of date now.
    stale = [root.crl("vecchia", at=NOW - 30 * DAY), issuing.crl("vecchia", at=NOW - 30 * DAY)]
    # Issued five minutes ago, replaced four minutes ago: recent, yet past its next update.
    just_stale = [root.crl("appena", at=NOW - 5 * MINUTE, seconds=60),
                  issuing.crl("appena", at=NOW - 5 * MINUTE, seconds=60)]

    # The envelopes; the claimed signing time is the clock's (faketime for the past or future).
    raw, claimed, issuer_of = {}, {}, {}

    def envelope(name, signer, at=None, **kw):
        raw[name] = sign(work, s[signer], work / (name + ".p7m.raw"), at=at, **kw)
        claimed[name] = at
        issuer_of[name] = s[signer].issuer.name

    envelope("valida", "mario")
    envelope("valida_rsa", "rsa")
    envelope("documenti", "documenti")
    envelope("uso_qualsiasi", "qualsiasi")
    envelope("documenti_ms", "documenti_ms")
    envelope("chiave_ec_p224", "p224")
    envelope("senza_usi", "senza_usi")
    envelope("uso_posta", "posta")
    envelope("uso_client", "client")
    envelope("solo_cifratura", "cifratura")
    envelope("server_tls", "server")
    envelope("impronta_sha1", "mario", md="sha1")
    envelope("chiave_rsa1024", "rsa1024")
    envelope("certificato_sha1", "cert_sha1")
    envelope("scaduto", "scaduto", at=datetime.datetime(2020, 6, 1, 12, 0, 0))
    envelope("firmata_dopo_scadenza", "scaduto", at=datetime.datetime(2022, 6, 1, 12, 0, 0))
    envelope("firmata_prima_validita", "mario", at=datetime.datetime(2023, 6, 1, 12, 0, 0))
    envelope("non_ancora_valido", "futuro")
    envelope("data_futura", "mario", at=NOW + DAY)
    envelope("revocato_dopo", "revocato_dopo", at=NOW - 2 * HOUR)
    envelope("revocato_prima", "revocato_prima")
    envelope("ca_revocata", "di_ca_revocata", at=NOW - 2 * HOUR)
    envelope("ca_scaduta", "di_ca_scaduta")
    envelope("ca_senza_crlsign", "di_ca_senza_crlsign")
    envelope("ca_non_ca", "di_non_ca")
    envelope("revocato_alla_firma", "revocato_alla_firma", at=NOW - 3 * HOUR)
    envelope("senza_certificato", "mario", extra=["-nocerts"])
    envelope("altro_certificatore", "estraneo")

    # The same holder, serial and key in a certificate of other dates: the ESS
    # signing-certificate-v2 names the one signed with, not the one carried.
    twin = []
    for days in (3650, 3000):
        out = work / ("gemello-%d.pem" % days)
        ossl("x509", "-req", "-in", work / "mario.csr", "-CA", issuing.cert, "-CAkey", issuing.key,
             "-set_serial", "0x7E5701", "-days", days, "-sha256", "-extfile",
             issuing.dir / "ca.cnf", "-extensions", "firma", "-out", out, cwd=work)
        twin.append(out)
    s["gemello"] = types.SimpleNamespace(name="gemello", issuer=issuing, key=s["mario"].key,
                                         cert=twin[0])
    envelope("certificato_sostituito", "gemello")
    raw["certificato_sostituito"] = rewrite(raw["certificato_sostituito"],
                                            certs=[issuing.der, pem_to_der(twin[1])])

    # Revoked after the signing time claimed, before it, and the revoked authority's own.
    issuing.revoke(s["revocato_dopo"].cert)
    issuing.revoke(s["revocato_prima"].cert, at=NOW - 2 * DAY)
    issuing.revoke(s["revocato_alla_firma"].cert, at=NOW - 3 * HOUR)
    root.revoke(revoked_ca.cert)

    # Current lists of every authority: each envelope carries those of its chain.
    crl = {a.name: a.crl("ora") for a in pki.authorities}
    chain_crls = {"emittente": [crl["radice"], crl["emittente"]],
                  "revocata": [crl["radice"], crl["revocata"]],
                  "scaduta": [crl["radice"], crl["scaduta"]],
                  "senza_crlsign": [crl["radice"], crl["senza_crlsign"]],
                  "non_ca": [crl["radice"], crl["non_ca"]],
                  "estranea": [crl["estranea"]]}

    files = {}

    def store(name, data):
        files[name] = work / (name + ".p7m")
        files[name].write_bytes(data)

    for name, data in raw.items():
        store(name, rewrite(data, crls=chain_crls[issuer_of[name]]))
    good = raw["valida"]
    store("senza_crl", good)
    store("crl_scadute", rewrite(good, crls=stale))
    store("crl_appena_scadute", rewrite(good, crls=just_stale))
    store("solo_crl_firmatario", rewrite(good, crls=[crl["emittente"]]))
    store("crl_impostore", rewrite(good, crls=[crl["radice"], crl["impostore"]]))
    current = files["valida"].read_bytes()
    assert current.count(b"Idrotermica") >= 1
    store("contenuto_cambiato", current.replace(b"Idrotermica", b"Idrotermico", 1))
    store("firma_alterata", spoil_signature(current))
    store("attributo_alterato", spoil_signing_time(current))
    files["senza_elenco"] = files["valida"]

    # Revocation data in the signer's revocation-values attribute, CRLs or OCSP; openssl is
    # given the same CRLs beside the root (its -CAfile reads CRLs too), and asked about the
    # OCSP answers with openssl ocsp.
    root_and_crls = work / "radice-e-crl.pem"
    root_and_crls.write_text(pathlib.Path(root.cert).read_text()
                             + (root.dir / "crl-ora.pem").read_text()
                             + (issuing.dir / "crl-ora.pem").read_text())
    store("valori_revoca_crl", with_revocation_values(good, crls=chain_crls["emittente"]))
    ocsp = {name: (s[signer].cert, issuing.ocsp(s[signer].cert, name))
            for name, signer in (("valori_revoca_ocsp", "mario"),
                                 ("ocsp_revocato", "revocato_dopo"))}
    # A good answer signed by a certificate the authority issued for something else.
    ocsp["ocsp_non_autorizzato"] = (s["mario"].cert, issuing.ocsp(
        s["mario"].cert, "non_autorizzato", responder=(s["senza_usi"].cert, s["senza_usi"].key)))
    store("ocsp_non_autorizzato", with_revocation_values(
        rewrite(good, crls=[crl["radice"]]),
        ocsps=[basic_ocsp(ocsp["ocsp_non_autorizzato"][1].read_bytes())]))
    store("valori_revoca_ocsp", with_revocation_values(
        rewrite(good, crls=[crl["radice"]]),
        ocsps=[basic_ocsp(ocsp["valori_revoca_ocsp"][1].read_bytes())]))
    store("ocsp_revocato", with_revocation_values(
        rewrite(raw["revocato_dopo"], crls=[crl["radice"]]),
        ocsps=[basic_ocsp(ocsp["ocsp_revocato"][1].read_bytes())]))
    claimed["ocsp_revocato"] = claimed["revocato_dopo"]

    # openssl reads the CRLs we put in the envelope: with them the chain is checked, without
    # them it is not.
    cms_print = run([OPENSSL, "cms", "-cmsout", "-print", "-inform", "DER", "-in",
                     files["valida"]], work).stdout.decode()
    check("crls:" in cms_print and cms_print.count("d.crl:") == 2, "fixture: CRLs embedded",
          cms_print[-400:])

    res = import_list(work, env, [root])
    check(res.returncode == 0, "fixture: trusted list imported", repr((res.stdout, res.stderr)))

    # The cases: the sub-indication expected (None: TOTAL_PASSED), the outcome, openssl's
    # complaint with -crl_check_all (None: accepted), and what else the case asks:
    #   options     openssl's revocation options instead of -crl_check_all
    #   purpose     openssl's chain purpose (default S/MIME signing: keyUsage digitalSignature
    #               or nonRepudiation, extendedKeyUsage emailProtection if any)
    #   anchored    False: openssl is given no root, ondivo no trusted list
    #   cafile      openssl's -CAfile, when not the root alone
    #   also        further openssl runs: (options instead of the above, complaint)
    #   ocsp        openssl ocsp's word on the signer's answer: "good", "revoked" or why
    #               the answer is refused
    #   holds       False: a constraint of the model that openssl does not judge fails
    #   weak, integra, attendibile, chiave, curva, verdetto: the signer's fields expected
    def case(name, sub, esito, complaint, **more):
        return dict(name=name, sub=sub, esito=esito, complaint=complaint, purpose=None,
                    anchored=True, also=(), holds=True, options=("-crl_check_all",), **more)

    def at_claimed(name, complaint):
        """openssl at the claimed signing time; no revocation check: the lists are today's."""
        return (("-attime", str(int(claimed[name].replace(tzinfo=datetime.timezone.utc)
                                    .timestamp()))), complaint)

    revoked = "certificate revoked"
    purpose = "unsuitable certificate purpose"
    expired = "certificate has expired"
    no_crl = "unable to get certificate CRL"
    signature = "CMS_SignerInfo_verify:verification failure"
    cases = [
        case("valida", None, "valida", None, chiave="EC P-256", weak=False, attendibile=True),
        case("valida_rsa", None, "valida", None, chiave="RSA 2048 bit", weak=False),
        # The document-signing purpose is not one of openssl 3.0's: its chain is judged
        # for any purpose, the extended key usage by the model.
        dict(case("documenti", None, "valida", None), purpose="any",
             also=((("-crl_check_all",), purpose),)),
        dict(case("uso_qualsiasi", None, "valida", None), purpose="any",
             also=((("-crl_check_all",), purpose),)),
        dict(case("documenti_ms", None, "valida", None), purpose="any",
             also=((("-crl_check_all",), purpose),)),
        # No key usage at all, or e-mail protection: fit for signing.
        case("senza_usi", None, "valida", None),
        case("uso_posta", None, "valida", None),
        dict(case("valori_revoca_crl", None, "valida", None), cafile=root_and_crls),
        # openssl cms knows no OCSP: the chain without revocation, the answer apart.
        dict(case("valori_revoca_ocsp", None, "valida", None), options=(), ocsp="good"),
        dict(case("ocsp_revocato", "REVOKED_NO_POE", "revocata", None), options=(),
             ocsp="revoked"),
        dict(case("ocsp_non_autorizzato", "TRY_LATER", "integra", None), options=(),
             ocsp="missing ocspsigning usage"),
        case("senza_crl", "TRY_LATER", "integra", no_crl),
        case("crl_scadute", "TRY_LATER", "integra", "CRL has expired"),
        case("crl_appena_scadute", "TRY_LATER", "integra", "CRL has expired"),
        dict(case("solo_crl_firmatario", "TRY_LATER", "integra", no_crl),
             also=((("-crl_check",), None),)),
        case("crl_impostore", "TRY_LATER", "integra", "CRL signature failure"),
        case("ca_senza_crlsign", "TRY_LATER", "integra",
             "key usage does not include CRL signing"),
        case("revocato_dopo", "REVOKED_NO_POE", "revocata", revoked),
        case("revocato_prima", "REVOKED", "non_valida", revoked),
        # Revoked in the very second of the signing time claimed: not after it.
        case("revocato_alla_firma", "REVOKED", "non_valida", revoked),
        case("ca_revocata", "REVOKED_CA_NO_POE", "revocata", revoked),
        case("contenuto_cambiato", "HASH_FAILURE", "non_valida", "content verify error",
             integra=False),
        case("firma_alterata", "SIG_CRYPTO_FAILURE", "non_valida", signature,
             integra=False),
        case("attributo_alterato", "SIG_CRYPTO_FAILURE", "non_valida", signature,
             integra=False),
        case("solo_cifratura", "CHAIN_CONSTRAINTS_FAILURE", "integra", purpose),
        case("server_tls", "CHAIN_CONSTRAINTS_FAILURE", "integra", purpose),
        case("uso_client", "CHAIN_CONSTRAINTS_FAILURE", "integra", purpose),
        # An issuer that is no authority (basicConstraints CA:FALSE): the path does not hold.
        case("ca_non_ca", "CERTIFICATE_CHAIN_GENERAL_FAILURE", "integra",
             "invalid CA certificate"),
        # openssl does not judge the digest of the signed attributes: the model does.
        dict(case("impronta_sha1", "CRYPTO_CONSTRAINTS_FAILURE_NO_POE", "integra", None,
                  weak=True), holds=False),
        case("chiave_rsa1024", "CRYPTO_CONSTRAINTS_FAILURE_NO_POE", "integra",
             "EE certificate key too weak", weak=True, chiave="RSA 1024 bit"),
        # 112 bits: enough for openssl's level 2, not for level 3 nor for the model.
        dict(case("chiave_ec_p224", "CRYPTO_CONSTRAINTS_FAILURE_NO_POE", "integra", None,
                  weak=True, curva="224"), holds=False,
             also=((("-crl_check_all", "-auth_level", "3"), "EE certificate key too weak"),)),
        case("certificato_sha1", "CRYPTO_CONSTRAINTS_FAILURE_NO_POE", "integra",
             "CA signature digest algorithm too weak", weak=True),
        dict(case("scaduto", "OUT_OF_BOUNDS_NO_POE", "integra", expired,
                  verdetto="non provata da marca temporale"),
             also=(at_claimed("scaduto", None),)),
        dict(case("firmata_dopo_scadenza", "EXPIRED", "scaduta", expired),
             also=(at_claimed("firmata_dopo_scadenza", expired),)),
        case("ca_scaduta", "OUT_OF_BOUNDS_NO_POE", "integra", expired),
        case("non_ancora_valido", "NOT_YET_VALID", "non_ancora_valida",
             "certificate is not yet valid"),
        dict(case("firmata_prima_validita", "NOT_YET_VALID", "non_ancora_valida", None),
             also=(at_claimed("firmata_prima_validita", "certificate is not yet valid"),),
             holds=False),
        # A signing time a day ahead: openssl does not judge it, the model does.
        dict(case("data_futura", "FUTURE_TIME", "integra", None),
             also=(at_claimed("data_futura", None),), holds=False),
        case("senza_certificato", "NO_SIGNING_CERTIFICATE_FOUND", "non_verificabile",
             "signer certificate not found", integra=None),
        case("certificato_sostituito", "NO_SIGNING_CERTIFICATE_FOUND", "non_verificabile",
             "ess cert id not found"),
        dict(case("senza_elenco", "NO_CERTIFICATE_CHAIN_FOUND", "integra",
                  "unable to get local issuer certificate", attendibile=False), anchored=False),
        # The other root travels in the envelope, as issuers do.
        case("altro_certificatore", "NO_CERTIFICATE_CHAIN_FOUND", "integra",
             "self-signed certificate in certificate chain", attendibile=False),
    ]
    check(sorted(c["name"] for c in cases) == sorted(files), "fixture: a case per envelope",
          repr(sorted(set(files) ^ {c["name"] for c in cases})))

    for c in cases:
        name, path = c["name"], files[c["name"]]
        root_pem = c.get("cafile", root.cert) if c["anchored"] else None
        # (a) openssl agrees with what the envelope was made to be.
        options = c["options"] + (("-purpose", c["purpose"]) if c["purpose"] else ())
        accepted, said = openssl_verify(work, path, *options, trusted_root=root_pem)
        check(accepted == (c["complaint"] is None)
              and (accepted or c["complaint"].lower() in said.lower()),
              name + ": openssl", repr((c["complaint"], said)))
        holds = accepted and c["holds"]
        if "ocsp" in c:
            cert, answer = ocsp[name]
            res = run([OPENSSL, "ocsp", "-respin", answer, "-issuer", issuing.cert, "-cert", cert,
                       "-CAfile", root.cert, "-no-CApath", "-no-CAstore", "-no_nonce"], work,
                      check_status=False)
            verified = res.returncode == 0 and "Response verify OK" in res.stderr.decode()
            status = res.stdout.decode().split("\n")[0].rsplit(": ", 1)[-1]
            check(verified and status == c["ocsp"] if c["ocsp"] in ("good", "revoked")
                  else not verified and c["ocsp"] in res.stderr.decode(),
                  name + ": openssl ocsp", repr((res.stdout, res.stderr)))
            holds = holds and verified and status == "good"
        for extra, complaint in c["also"]:
            ok, said = openssl_verify(work, path, *extra, trusted_root=root_pem)
            check(ok == (complaint is None) and (ok or complaint.lower() in said.lower()),
                  "%s: openssl %s" % (name, " ".join(extra)), repr((complaint, said)))
        # The table itself: TOTAL_PASSED where openssl accepts and the model's constraints hold.
        check((c["sub"] is None) == holds, name + ": the table", repr(c))

        # (b) ondivo's verdict.
        res, out = verdict("firma", path, env=env if c["anchored"] else bare_env)
        signers = out.get("firmatari") or [{}]
        first = signers[0]
        got = (out.get("indicazione"), out.get("sottoindicazione"), out.get("esito"))
        want = ("TOTAL_PASSED" if c["sub"] is None
                else "TOTAL_FAILED" if c["esito"] in ("non_valida", "scaduta", "non_ancora_valida")
                else "INDETERMINATE", c["sub"], c["esito"])
        check(res.returncode == 0 and got == want, name + ": verdict",
              repr((want, got, first.get("motivi"), res.stderr[:300])))
        check(len(signers) == 1 and (first.get("indicazione"), first.get("sottoindicazione"),
                                     first.get("esito")) == got,
              name + ": the signer's verdict is the envelope's", repr(signers))
        # (c) valid only where openssl accepts and the model's constraints hold.
        check((out.get("indicazione") == "TOTAL_PASSED") == holds
              and (out.get("esito") == "valida") == holds,
              name + ": valid exactly where openssl accepts and the constraints hold",
              repr((holds, got)))
        check(bool(first.get("motivi")) == (c["sub"] is not None), name + ": reasons",
              repr(first.get("motivi")))
        if c.get("integra", True) is not None:
            check(first.get("integra") is c.get("integra", True), name + ": integra",
                  repr(first.get("integra")))
        for field, key in (("weak", "algoritmo_debole"), ("attendibile", "attendibile"),
                           ("chiave", "chiave")):
            if field in c:
                check(first.get(key) == c[field], "%s: %s" % (name, key), repr(first.get(key)))
        if "curva" in c:
            check(c["curva"] in (first.get("chiave") or "") and "EC" in first.get("chiave"),
                  name + ": chiave", repr(first.get("chiave")))
        if "verdetto" in c:
            check(c["verdetto"] in (out.get("verdetto") or "")
                  and c["verdetto"] in (first.get("verdetto") or ""), name + ": verdetto",
                  repr((out.get("verdetto"), first.get("verdetto"))))
        if claimed.get(name):
            check(first.get("data_firma") == iso(claimed[name]), name + ": data_firma",
                  repr((iso(claimed[name]), first.get("data_firma"))))

    # Fields the table knows from how the certificates were made.
    mario = verdict("firma", files["valida"], env=env)[1].get("firmatari", [{}])[0]
    check(mario.get("codice_fiscale") == "RSSMRA80A01H501U" and mario.get("nome") == "Mario Rossi"
          and mario.get("algoritmo") == "SHA-256"
          and mario.get("emittente") == "Ondivo Prova CA Firma Qualificata",
          "valida: the signer", repr(mario))
    sha1 = verdict("firma", files["impronta_sha1"], env=env)[1].get("firmatari", [{}])[0]
    check(sha1.get("algoritmo") == "SHA-1", "impronta_sha1: algoritmo", repr(sha1))

    # info --json carries the verdict as firma gives it: null where there is no sub-indication.
    for name, want in (("valida", ("TOTAL_PASSED", None)),
                       ("revocato_dopo", ("INDETERMINATE", "REVOKED_NO_POE"))):
        res, out = verdict("info", files[name], env=env)
        got = (out.get("indicazione"), out.get("sottoindicazione"))
        firma = verdict("firma", files[name], env=env)[1]
        check(res.returncode == 0 and got == want
              and got == (firma.get("indicazione"), firma.get("sottoindicazione")),
              "info %s: indicazione and sottoindicazione as firma's" % name,
              repr((want, got, res.stderr[:300])))

    network_case(work, env, pki, root, org)

finish()
