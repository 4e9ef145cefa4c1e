#pragma once

#include "Database.h"
#include "suite_export.h"

#include <QString>

// The user's session: read from the session file (INI) when the shell starts.
//
// [Sessao]            Filial, VinculadoFilial, Modulo, EnterComoTab
// [BancoDados]        Driver, Banco, Servidor, Porta, Usuario, Senha
// [ServidorAplicacao] Host, Porta, Token
// [Relatorios]        Diretorio
class SUITE_EXPORT Session
{
public:
    static Session &current();

    // Reads the file; raises ESuiteError when it cannot be read.
    void load(const QString &fileName);
    void save(const QString &fileName) const;

    QString fileName;
    QString filial;            // processing branch
    bool vinculadoFilial = false;
    int modulo = 4;            // active suite module
    bool enterComoTab = false; // Enter moves to the next field as Tab does
    DbConfig db;
    QString serverHost = QStringLiteral("127.0.0.1");
    int serverPort = 21173;
    QString serverToken;
    QString reportDir;
};
