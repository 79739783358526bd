-- Visite guidée : quelques requêtes sur la base de démonstration.
-- Chaque requête est affichée avant son résultat (.echo on).
.mode table
.headers on
.echo on

.print
.print -- Tous les clients, par nom (ORDER BY). Les dates s'affichent aaaammjj.
SELECT NUM, NOM, PRENOM, VILLE, INSCRIT FROM CLIENTS ORDER BY NOM;

.print
.print -- Les villes, une fois chacune (DISTINCT).
SELECT DISTINCT VILLE FROM CLIENTS ORDER BY VILLE;

.print
.print -- Une jointure : chaque commande avec le nom de son client.
SELECT K.NUM, K.DATECDE, C.NOM, K.STATUT
  FROM COMMANDES K, CLIENTS C
  WHERE K.CLIENT = C.NUM
  ORDER BY DATECDE;

.print
.print -- Trois tables : ce que Martin (client 2) a commandé.
SELECT K.NUM, K.DATECDE, P.LIBELLE, L.QUANTITE, L.PRIXUNIT
  FROM COMMANDES K, LIGNES L, PRODUITS P
  WHERE L.COMMANDE = K.NUM AND L.PRODUIT = P.REF AND K.CLIENT = 2
  ORDER BY DATECDE;

.print
.print -- Un sous-select : les clients qui ont commandé...
SELECT NOM, VILLE FROM CLIENTS
  WHERE NUM IN (SELECT CLIENT FROM COMMANDES)
  ORDER BY NOM;

.print
.print -- ... et ceux qui n'ont jamais commandé.
SELECT NOM, VILLE FROM CLIENTS
  WHERE NUM NOT IN (SELECT CLIENT FROM COMMANDES)
  ORDER BY NOM;

.print
.print -- ALL : les produits plus chers que tout ce que contient la commande 1001.
SELECT REF, LIBELLE, PRIX FROM PRODUITS
  WHERE PRIX > ALL (SELECT PRIXUNIT FROM LIGNES WHERE COMMANDE = 1001)
  ORDER BY PRIX DESC;

.print
.print -- LIKE : les produits dont le libellé commence par « Th ».
SELECT REF, LIBELLE, PRIX FROM PRODUITS WHERE LIBELLE LIKE 'Th%' ORDER BY REF;

.print
.print -- BETWEEN : les produits entre 5 et 20 euros.
SELECT REF, LIBELLE, PRIX FROM PRODUITS WHERE PRIX BETWEEN 5 AND 20 ORDER BY PRIX;

.print
.print -- Des dates : les commandes de janvier et février 2024, écrites de deux façons.
SELECT NUM, CLIENT, DATECDE FROM COMMANDES
  WHERE DATECDE BETWEEN {d '2024-01-01'} AND '20240229'
  ORDER BY DATECDE;

.print
.print -- Une mise à jour (la valeur entre parenthèses), puis sa vérification.
UPDATE PRODUITS SET STOCK = (7) WHERE REF = 'THR-001';
SELECT REF, LIBELLE, STOCK FROM PRODUITS WHERE STOCK < 20 ORDER BY STOCK;

.print
.print -- Une erreur, pour voir le message : la table n'existe pas.
SELECT NOM FROM FOURNISSEURS;
