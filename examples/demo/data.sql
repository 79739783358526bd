-- Données de démonstration. Une date s'écrit 'aaaammjj' ou, en échappement,
-- {d 'aaaa-mm-jj'} ; elle est rangée et affichée aaaammjj.

INSERT INTO CLIENTS VALUES (1, 'Dupont', 'Jeanne', 'Lyon', '69003', {d '2021-03-14'}, 'Cliente fidèle ; préfère la livraison en point relais.');
INSERT INTO CLIENTS VALUES (2, 'Martin', 'Éric', 'Nantes', '44000', {d '2022-07-01'}, 'Demande toujours une facture papier.');
INSERT INTO CLIENTS VALUES (3, 'Bernard', 'Chloé', 'Lille', '59000', {d '2020-11-23'}, '');
INSERT INTO CLIENTS VALUES (4, 'Lefèvre', 'Noël', 'Strasbourg', '67000', {d '2023-01-09'}, 'Adresse de livraison différente : voir le dossier.');
INSERT INTO CLIENTS VALUES (5, 'Bœuf', 'Gaëlle', 'Lyon', '69007', {d '2023-05-30'}, 'Parrainée par Jeanne Dupont.');
INSERT INTO CLIENTS VALUES (6, 'Garnier', 'Hélène', 'Bordeaux', '33000', {d '2024-02-18'}, '');

INSERT INTO PRODUITS VALUES ('CAF-250', 'Café moulu pur arabica 250 g', 'Épicerie', 6.9, 120);
INSERT INTO PRODUITS VALUES ('THE-100', 'Thé vert au jasmin 100 g', 'Épicerie', 8.5, 60);
INSERT INTO PRODUITS VALUES ('CHO-070', 'Chocolat noir 70 % 100 g', 'Épicerie', 2.95, 300);
INSERT INTO PRODUITS VALUES ('TAS-002', 'Tasses en grès, les deux', 'Arts de la table', 19.0, 25);
INSERT INTO PRODUITS VALUES ('THR-001', 'Théière en fonte 1 l', 'Arts de la table', 45.0, 8);
INSERT INTO PRODUITS VALUES ('NAP-004', 'Serviettes en lin, les quatre', 'Linge', 32.5, 14);

INSERT INTO COMMANDES VALUES (1001, 1, {d '2024-01-05'}, 'livrée');
INSERT INTO COMMANDES VALUES (1002, 2, {d '2024-01-19'}, 'livrée');
INSERT INTO COMMANDES VALUES (1003, 1, {d '2024-02-11'}, 'livrée');
INSERT INTO COMMANDES VALUES (1004, 4, {d '2024-03-02'}, 'expédiée');
INSERT INTO COMMANDES VALUES (1005, 5, {d '2024-03-20'}, 'en cours');
INSERT INTO COMMANDES VALUES (1006, 2, {d '2024-04-08'}, 'en cours');

INSERT INTO LIGNES VALUES (1001, 1, 'CAF-250', 2, 6.9);
INSERT INTO LIGNES VALUES (1001, 2, 'CHO-070', 5, 2.95);
INSERT INTO LIGNES VALUES (1002, 1, 'THR-001', 1, 45.0);
INSERT INTO LIGNES VALUES (1002, 2, 'THE-100', 2, 8.5);
INSERT INTO LIGNES VALUES (1003, 1, 'TAS-002', 1, 19.0);
INSERT INTO LIGNES VALUES (1004, 1, 'NAP-004', 1, 32.5);
INSERT INTO LIGNES VALUES (1004, 2, 'CAF-250', 3, 6.9);
INSERT INTO LIGNES VALUES (1005, 1, 'CHO-070', 10, 2.95);
INSERT INTO LIGNES VALUES (1006, 1, 'THE-100', 1, 8.5);
INSERT INTO LIGNES VALUES (1006, 2, 'TAS-002', 2, 19.0);
