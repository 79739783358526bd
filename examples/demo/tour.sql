-- Visite guidée : quelques requêtes sur la base de démonstration.
.mode table
.headers on
.echo on

-- Tous les clients, par nom.
SELECT NUM, NOM, PRENOM, VILLE, INSCRIT FROM CLIENTS ORDER BY NOM;

-- Les villes, une fois chacune.
SELECT DISTINCT VILLE FROM CLIENTS ORDER BY VILLE;

-- Une jointure : chaque commande avec le nom de son client.
SELECT K.NUM, K.DATECDE, C.NOM, K.STATUT
  FROM COMMANDES K, CLIENTS C
  WHERE K.CLIENT = C.NUM
  ORDER BY DATECDE;

-- Trois tables : le détail des lignes de la commande 1004.
SELECT L.LIGNE, P.LIBELLE, L.QUANTITE, L.PRIXUNIT
  FROM LIGNES L, PRODUITS P
  WHERE L.PRODUIT = P.REF AND L.COMMANDE = 1004;

-- Un sous-select : les clients qui ont commandé.
SELECT NOM, VILLE FROM CLIENTS
  WHERE NUM IN (SELECT CLIENT FROM COMMANDES)
  ORDER BY NOM;

-- Et ceux qui n'ont jamais commandé.
SELECT NOM, VILLE FROM CLIENTS
  WHERE NUM NOT IN (SELECT CLIENT FROM COMMANDES);

-- LIKE : les produits dont le libellé commence par « Th ».
SELECT REF, LIBELLE, PRIX FROM PRODUITS WHERE LIBELLE LIKE 'Th%';

-- BETWEEN : les produits entre 5 et 20 euros.
SELECT REF, LIBELLE, PRIX FROM PRODUITS WHERE PRIX BETWEEN 5 AND 20 ORDER BY PRIX;

-- Des dates : les commandes passées depuis le 1er mars 2024.
SELECT NUM, CLIENT, DATECDE FROM COMMANDES WHERE DATECDE >= {d '2024-03-01'};

-- Des totaux : quantités vendues par produit.
SELECT PRODUIT, SUM(QUANTITE), COUNT(*) FROM LIGNES GROUP BY PRODUIT;

-- Une erreur, pour voir le message : la table n'existe pas.
SELECT NOM FROM FOURNISSEURS;
