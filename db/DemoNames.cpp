#include "DemoNames.h"

namespace {

// Department, section, product kinds and sizes separated by '|', price range in cents.
struct SectionText
{
    int department;
    int section;
    const char *bases;
    const char *sizes;
    int minCents;
    int maxCents;
};

constexpr SectionText kSections[] = {
    // 01 Mercearia
    {1, 1, "Arroz Tipo 1|Arroz Parboilizado|Arroz Integral|Arroz Arbóreo", "1kg|2kg|5kg", 550, 3200},
    {1, 2, "Feijão Carioca|Feijão Preto|Feijão Fradinho|Feijão Branco", "500g|1kg|2kg", 450, 1600},
    {1, 3, "Óleo de Soja|Óleo de Milho|Óleo de Girassol|Azeite Extra Virgem|Óleo de Canola", "500ml|900ml|1,5l", 690,
     4500},
    {1, 4, "Macarrão Espaguete|Macarrão Parafuso|Macarrão Penne|Lasanha|Macarrão Instantâneo", "85g|500g|1kg", 190,
     1400},
    {1, 5, "Açúcar Refinado|Açúcar Cristal|Açúcar Mascavo|Adoçante Líquido", "500g|1kg|2kg|5kg", 390, 2400},
    {1, 6, "Café Torrado e Moído|Café em Grãos|Café Solúvel|Café Extraforte", "250g|500g|1kg", 990, 5500},
    {1, 7, "Farinha de Trigo|Farinha de Mandioca|Fubá Mimoso|Farofa Pronta|Amido de Milho", "500g|1kg|5kg", 350, 2200},
    {1, 8, "Milho Verde em Conserva|Ervilha em Conserva|Sardinha em Óleo|Atum Sólido|Extrato de Tomate",
     "140g|170g|300g", 290, 1290},
    {1, 9, "Molho de Tomate|Maionese|Ketchup|Mostarda|Sal Refinado|Tempero Completo", "200g|340g|1kg", 190, 1590},
    {1, 10, "Biscoito Cream Cracker|Biscoito Maria|Biscoito Recheado Chocolate|Biscoito de Polvilho|Rosquinha de Coco",
     "90g|200g|400g", 190, 990},
    // 02 Bebidas
    {2, 1, "Refrigerante Cola|Refrigerante Guaraná|Refrigerante Laranja|Refrigerante Limão", "350ml|600ml|2l", 290,
     1190},
    {2, 2, "Suco de Uva Integral|Néctar de Pêssego|Suco de Laranja|Suco em Pó Maracujá", "200ml|1l|1,5l", 150, 1890},
    {2, 3, "Água Mineral sem Gás|Água Mineral com Gás|Água de Coco", "500ml|1,5l|5l", 150, 990},
    {2, 4, "Cerveja Pilsen|Cerveja Puro Malte|Cerveja sem Álcool|Chope Claro", "269ml|350ml|600ml", 290, 1290},
    {2, 5, "Vinho Tinto Seco|Vinho Branco Suave|Espumante Brut|Vinho Rosé", "750ml|1l", 1990, 8990},
    {2, 6, "Chá Mate|Chá de Camomila|Chá Verde|Chá de Erva-Doce", "10 sachês|25 sachês|250g", 290, 1290},
    // 03 Laticínios
    {3, 1, "Leite UHT Integral|Leite UHT Desnatado|Leite em Pó|Leite Condensado|Creme de Leite", "200g|395g|1l", 390,
     2990},
    {3, 2, "Iogurte Natural|Iogurte de Morango|Bebida Láctea|Coalhada", "170g|540g|900g", 290, 1290},
    {3, 3, "Queijo Mussarela|Queijo Prato|Queijo Minas Frescal|Queijo Parmesão Ralado|Ricota", "50g|250g|500g", 590,
     4990},
    {3, 4, "Manteiga com Sal|Manteiga sem Sal|Margarina Cremosa|Margarina Light", "200g|250g|500g", 490, 2290},
    {3, 5, "Requeijão Cremoso|Requeijão Light|Cream Cheese", "150g|200g|400g", 490, 1690},
    // 04 Frios e Embutidos
    {4, 1, "Presunto Cozido|Peito de Peru Defumado|Apresuntado|Lombo Canadense", "200g|500g|1kg", 790, 5990},
    {4, 2, "Linguiça Toscana|Linguiça Calabresa|Salame Italiano|Salsicha Hot Dog", "250g|500g|1kg", 890, 4590},
    {4, 3, "Mortadela Tradicional|Mortadela Defumada|Mortadela de Frango", "200g|500g|1kg", 490, 2490},
    // 05 Carnes
    {5, 1, "Carne Moída Bovina|Alcatra Bovina|Patinho Bovino|Costela Bovina|Acém Bovino", "500g|1kg", 1990, 7990},
    {5, 2, "Pernil Suíno|Lombo Suíno|Bisteca Suína|Costelinha Suína", "1kg|2kg", 1590, 4590},
    {5, 3, "Peito de Frango|Coxa e Sobrecoxa|Frango Inteiro Congelado|Filé de Frango", "1kg|2kg", 990, 3290},
    {5, 4, "Filé de Tilápia|Filé de Merluza|Posta de Cação|Camarão Limpo", "400g|500g|1kg", 2190, 8990},
    // 06 Hortifrúti
    {6, 1, "Banana Prata|Maçã Gala|Laranja Pera|Mamão Formosa|Uva Niágara|Abacaxi Pérola", "kg|bandeja 500g|unidade",
     390, 1590},
    {6, 2, "Tomate Italiano|Batata Inglesa|Cebola|Cenoura|Abobrinha|Chuchu", "kg|bandeja 500g", 290, 1290},
    {6, 3, "Alface Crespa|Couve Manteiga|Rúcula|Cheiro-Verde|Agrião", "maço|unidade", 190, 690},
    // 07 Padaria
    {7, 1, "Pão de Forma Tradicional|Pão de Forma Integral|Pão de Hambúrguer|Pão Francês", "400g|500g|kg", 490, 1690},
    {7, 2, "Bolo de Fubá|Bolo de Chocolate|Bolo de Laranja|Panetone", "300g|400g|500g", 890, 3490},
    {7, 3, "Torrada Tradicional|Torrada Integral|Bisnaguinha", "140g|160g|300g", 390, 990},
    // 08 Limpeza
    {8, 1, "Detergente Líquido Neutro|Detergente Líquido Limão|Lava-Louças Concentrado", "500ml|1l|5l", 190, 2290},
    {8, 2, "Sabão em Pó|Sabão Líquido|Sabão em Barra", "500g|1kg|5 unidades", 590, 4590},
    {8, 3, "Desinfetante Lavanda|Água Sanitária|Limpador Multiuso|Álcool 70%", "500ml|1l|2l", 290, 1590},
    {8, 4, "Esponja Dupla Face|Pano de Chão|Palha de Aço|Pano Multiuso", "1 unidade|3 unidades|8 unidades", 190, 1290},
    {8, 5, "Amaciante Concentrado|Amaciante Tradicional|Tira-Manchas", "500ml|2l|5l", 690, 3990},
    // 09 Higiene e Perfumaria
    {9, 1, "Sabonete em Barra|Sabonete Líquido|Sabonete Glicerinado", "85g|90g|250ml", 190, 1490},
    {9, 2, "Xampu Anticaspa|Xampu Cabelos Cacheados|Condicionador Hidratante|Creme para Pentear", "200ml|350ml|1l", 890,
     3490},
    {9, 3, "Creme Dental Tripla Ação|Creme Dental Branqueador|Escova Dental Macia|Fio Dental", "50m|90g|2 unidades",
     290, 1990},
    {9, 4, "Desodorante Aerossol|Desodorante Roll-On|Desodorante Creme", "50ml|150ml", 790, 2290},
    {9, 5, "Papel Higiênico Folha Dupla|Papel Higiênico Folha Simples|Lenço de Papel", "4 rolos|12 rolos|30m", 390,
     2990},
    {9, 6, "Fralda Descartável P|Fralda Descartável M|Fralda Descartável G|Lenço Umedecido",
     "48 unidades|20 unidades|100 unidades", 1290, 8990},
    // 10 Congelados
    {10, 1, "Lasanha Bolonhesa|Pizza Mussarela|Pão de Queijo|Hambúrguer Bovino|Empanado de Frango", "275g|460g|1kg",
     890, 3990},
    {10, 2, "Sorvete de Creme|Sorvete Napolitano|Picolé de Limão|Açaí na Tigela", "1,5l|2l|unidade", 390, 3290},
    {10, 3, "Brócolis Congelado|Seleta de Legumes|Batata Pré-Frita|Polpa de Fruta Acerola", "300g|400g|1kg", 490, 2290},
    // 11 Matinais
    {11, 1, "Cereal Matinal de Milho|Granola Tradicional|Aveia em Flocos|Cereal de Arroz", "200g|300g|1kg", 490, 2490},
    {11, 2, "Achocolatado em Pó|Achocolatado Líquido|Cacau em Pó", "200ml|400g|1kg", 290, 2290},
    {11, 3, "Geleia de Morango|Doce de Leite|Mel Silvestre|Goiabada Cascão", "230g|400g|500g", 590, 2990},
    // 12 Bazar
    {12, 1, "Copo de Vidro|Prato Raso|Panela de Alumínio|Garrafa Térmica", "unidade|jogo 6 peças", 990, 8990},
    {12, 2, "Copo Descartável|Prato Descartável|Papel Alumínio|Filme de PVC|Saco de Lixo",
     "50 unidades|100 unidades|30m", 390, 1990},
    {12, 3, "Pilha Alcalina AA|Pilha Alcalina AAA|Lâmpada LED|Vela Comum", "2 unidades|4 unidades|9W", 490, 3290},
    // 13 Pet Shop
    {13, 1, "Ração para Cães Adultos|Ração para Filhotes|Ração para Gatos|Petisco para Cães", "1kg|3kg|15kg", 990,
     14990},
    {13, 2, "Areia Higiênica|Tapete Higiênico|Xampu para Cães", "4kg|7 unidades|500ml", 990, 4990},
    // 14 Doces e Snacks
    {14, 1, "Chocolate ao Leite|Chocolate Meio Amargo|Bombom Sortido|Chocolate Branco", "90g|250g|1kg", 490, 3290},
    {14, 2, "Bala de Goma|Pirulito|Chiclete de Menta|Paçoca", "100g|150g|700g", 290, 1990},
    {14, 3, "Batata Chips|Salgadinho de Milho|Amendoim Torrado|Pipoca de Micro-ondas", "45g|100g|500g", 390, 1490},
};

QStringList split(const char *text)
{
    return QString::fromUtf8(text).split(QLatin1Char('|'));
}

QStringList words(std::initializer_list<const char *> list)
{
    QStringList out;
    out.reserve(qsizetype(list.size()));
    for (const char *w : list)
        out << QString::fromUtf8(w);
    return out;
}

} // namespace

namespace DemoNames {

QList<DemoSection> sections()
{
    QList<DemoSection> out;
    for (const SectionText &s : kSections)
        out.append({s.department, s.section, split(s.bases), split(s.sizes), s.minCents, s.maxCents});
    return out;
}

QStringList brands()
{
    return words({"Vale Verde",     "Serra Azul", "Campo Belo",  "Terra Boa",   "Sol Nascente",  "Boa Safra",
                  "Estrela do Sul", "Casa Nobre", "Rio Claro",   "Bela Vista",  "Sabor da Roça", "Monte Alegre",
                  "Flor do Campo",  "Bom Dia",    "Nova Aurora", "Três Marias", "Santa Helena",  "Primavera",
                  "Dona Clara",     "Pampa",      "Cerrado",     "Mar Azul",    "Recanto",       "Vovó Lurdes",
                  "Pérola",         "Ipê",        "Jequitibá",   "Aroeira",     "Canaã",         "Mantiqueira",
                  "Itaipu",         "Paraíso",    "Lua Cheia",   "Girassol",    "Água Doce",     "Boa Mesa",
                  "Tradição",       "Saborosa",   "Colonial",    "Fazendinha"});
}

QStringList regions()
{
    return words({"Sul", "Sudeste", "Interior Paulista", "Minas Gerais", "Nordeste", "Centro-Oeste", "Norte",
                  "Litoral Paulista", "Serra Gaúcha", "Oeste Catarinense", "Triângulo Mineiro", "Recôncavo Baiano"});
}

QStringList branchKinds()
{
    return words({"Loja", "Filial", "Depósito", "Supermercado", "Atacado"});
}

QStringList places()
{
    return words({"Centro Curitiba", "Batel Curitiba", "Campinas", "Contagem",     "Jundiaí",        "Sorocaba",
                  "Joinville",       "Londrina",       "Maringá",  "Cascavel",     "Ribeirão Preto", "Uberlândia",
                  "Betim",           "Niterói",        "Santos",   "Blumenau",     "Chapecó",        "Goiânia",
                  "Anápolis",        "Recife",         "Olinda",   "Salvador",     "Fortaleza",      "Natal",
                  "João Pessoa",     "Belém",          "Manaus",   "Cuiabá",       "Campo Grande",   "Florianópolis",
                  "Porto Alegre",    "Caxias do Sul",  "Pelotas",  "Ponta Grossa", "Guarapuava",     "Foz do Iguaçu",
                  "Bauru",           "Piracicaba",     "Franca",   "Juiz de Fora", "Vitória",        "Vila Velha",
                  "Teresina",        "São Luís",       "Maceió",   "Aracaju",      "Palmas",         "Porto Velho",
                  "Itajaí",          "Limeira"});
}

QStringList firstNames()
{
    return words({"José",   "Maria",   "João",     "Ana",     "Antônio", "Francisca", "Carlos",    "Adriana",
                  "Paulo",  "Juliana", "Pedro",    "Márcia",  "Lucas",   "Fernanda",  "Luiz",      "Patrícia",
                  "Marcos", "Aline",   "Luís",     "Sandra",  "Gabriel", "Camila",    "Rafael",    "Amanda",
                  "Daniel", "Bruna",   "Marcelo",  "Jéssica", "Bruno",   "Letícia",   "Eduardo",   "Júlia",
                  "Felipe", "Luciana", "Raimundo", "Vanessa", "Rodrigo", "Mariana",   "Sebastião", "Cláudia"});
}

QStringList surnames()
{
    return words({"Silva",     "Santos",    "Oliveira", "Souza",   "Rodrigues", "Ferreira", "Alves",      "Pereira",
                  "Lima",      "Gomes",     "Costa",    "Ribeiro", "Martins",   "Carvalho", "Almeida",    "Lopes",
                  "Soares",    "Fernandes", "Vieira",   "Barbosa", "Rocha",     "Dias",     "Nascimento", "Andrade",
                  "Moreira",   "Nunes",     "Marques",  "Machado", "Mendes",    "Freitas",  "Cardoso",    "Ramos",
                  "Gonçalves", "Santana",   "Teixeira", "Araújo",  "Pinto",     "Correia",  "Cavalcanti", "Moraes"});
}

QStringList supplierPrefixes()
{
    return words({"Distribuidora", "Atacadista", "Comercial", "Indústria", "Laticínios", "Frigorífico", "Moinho",
                  "Cerealista", "Importadora", "Bebidas", "Alimentos", "Embalagens", "Química", "Torrefação",
                  "Granja"});
}

QStringList supplierCores()
{
    return words({"Vale Verde", "Serra Azul",  "São Jorge",     "Santa Clara",   "Bom Jesus",    "Três Irmãos",
                  "Nova Era",   "Horizonte",   "Boa Esperança", "Santo Antônio", "Planalto",     "Aliança",
                  "Progresso",  "União",       "Cruzeiro",      "Ouro Verde",    "Bandeirantes", "Guarani",
                  "Tupi",       "Araucária",   "Pioneira",      "Imperial",      "Continental",  "Real",
                  "Líder",      "Estrela",     "Bom Sucesso",   "Sertaneja",     "Paulista",     "Mineira",
                  "Gaúcha",     "Catarinense", "Capixaba",      "Baiana",        "Potiguar",     "Amazonas",
                  "Iguaçu",     "Tietê",       "Paranapanema",  "Itatiaia"});
}

QStringList supplierRegions()
{
    return words({"", "do Sul", "do Brasil", "Nordeste", "Central", "do Vale"});
}

QStringList supplierActivities()
{
    return words({"Comércio de Alimentos", "Indústria e Comércio", "Distribuição", "Comércio Atacadista", "Alimentos",
                  "Produtos de Limpeza", "Bebidas", "Importação e Exportação"});
}

QStringList farmKinds()
{
    return words({"Sítio", "Chácara", "Fazenda", "Horta", "Granja", "Apiário"});
}

QStringList otherKinds()
{
    return words({"Cooperativa Agrícola", "Associação dos Produtores", "Cooperativa Mista", "Fundação", "Instituto"});
}

} // namespace DemoNames
