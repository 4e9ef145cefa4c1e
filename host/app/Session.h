#pragma once

#include "data/Database.h"
#include "suite_export.h"

#include <QString>

// The user's session: read from the session file (INI) when the shell starts.
//
// [Sessao]            Filial, VinculadoFilial, Modulo, EnterComoTab
// [BancoDados]        Driver, Banco, Servidor, Porta, Usuario, Senha, and the user the
//                     reports read with: UsuarioRelatorio, SenhaRelatorio (the general
//                     user when absent)
// [ServidorAplicacao] Host, Porta, Token, ImpressaoDigital and Compressao (clients),
//                     Certificado and Chave (the server; files relative to the session file)
// [Relatorios]        Diretorio (TempoLimite, LimiteLinhas, LimiteArquivoMB: see ReportLimits),
//                     ConjuntosCompartilhados (folder of the shared parameter sets)
class SUITE_EXPORT Session
{
public:
    // A whole-number setting of a session file: `fallback` when the key is absent, the
    // number when it is one from min to max (ASCII digits); anything else raises
    // ESuiteError naming the file, the key and what it accepts.
    static qint64 integer(const QString &file, const QString &key, qint64 fallback, qint64 min, qint64 max);

    static Session &current();

    // Reads the file; raises ESuiteError when it cannot be read or a setting is not a valid
    // value (a number out of range or not a number, a branch code longer than its field
    // or with other than ASCII letters and digits).
    void load(const QString &fileName);
    // Writes the file readable by its owner only (it holds the token and the database
    // password); raises ESuiteError when it cannot be written.
    void save(const QString &fileName) const;

    QString fileName;
    QString filial; // processing branch
    bool vinculadoFilial = false;
    int modulo = 4;            // active suite module
    bool enterComoTab = false; // Enter moves to the next field as Tab does
    DbConfig db;
    QString reportUser; // the database user of report runs (only SELECT on the tables)
    QString reportPassword;
    // The database as report runs reach it: `general` with the report user, when set.
    DbConfig reportDb(const DbConfig &general) const;
    QString serverHost = QStringLiteral("127.0.0.1");
    int serverPort = 21173;
    QString serverToken;
    QString serverFingerprint; // SHA-256 of the server's certificate, as LinkTls reads it
    // Whether the workstation takes large results compressed (S, the default, or N): a fifth
    // of the bytes, and less work at both ends than the plain bytes even on one machine.
    bool serverCompression = true;
    QString serverCertificate; // PEM files of the server (absolute once loaded)
    QString serverKey;
    QString reportDir;
    QString sharedSetsDir; // parameter sets an administrator shares (read-only); may be empty
};
